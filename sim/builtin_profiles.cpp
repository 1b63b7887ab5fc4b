#include "builtin_profiles.h"

namespace sim {
namespace {

// A pen tablet: one device, three cursors (pen, eraser, puck).
constexpr const char kDefault[] = R"(
item availability 0            text "PADSCOPE Simulated Tablet Interface 1.4"
item interface IFC_WINTABID    text "PADSCOPE Simulated Tablet Interface 1.4"
item interface IFC_SPECVERSION u16 0x0104
item interface IFC_IMPLVERSION u16 0x0203
item interface IFC_NDEVICES    u32 1
item interface IFC_NCURSORS    u32 3
item interface IFC_NCONTEXTS   u32 16

item defcontext 0 context \
  lcName "Default Digitizing" lcOptions 0x8004 lcStatus 0 lcLocks 0 \
  lcMsgBase 0x7FF0 lcDevice 0 lcPktRate 200 \
  lcPktData 0x1FFF lcPktMode 0 lcMoveMask 0x1FFF \
  lcBtnDnMask 0xFFFFFFFF lcBtnUpMask 0xFFFFFFFF \
  lcInOrgX 0 lcInOrgY 0 lcInOrgZ 0 lcInExtX 44704 lcInExtY 27940 lcInExtZ 0 \
  lcOutOrgX 0 lcOutOrgY 0 lcOutOrgZ 0 lcOutExtX 44704 lcOutExtY 27940 lcOutExtZ 0 \
  lcSensX 1.0 lcSensY 1.0 lcSensZ 1.0 \
  lcSysMode 0 lcSysOrgX 0 lcSysOrgY 0 lcSysExtX 1920 lcSysExtY 1080 \
  lcSysSensX 1.0 lcSysSensY 1.0

item defsysctx 0 context \
  lcName "Default System" lcOptions 0x0001 lcStatus 0 lcLocks 0 \
  lcMsgBase 0x7FF0 lcDevice 0 lcPktRate 200 \
  lcPktData 0x05C0 lcPktMode 0 lcMoveMask 0x05C0 \
  lcBtnDnMask 0xFFFFFFFF lcBtnUpMask 0xFFFFFFFF \
  lcInOrgX 0 lcInOrgY 0 lcInOrgZ 0 lcInExtX 44704 lcInExtY 27940 lcInExtZ 0 \
  lcOutOrgX 0 lcOutOrgY 0 lcOutOrgZ 0 lcOutExtX 1920 lcOutExtY -1080 lcOutExtZ 0 \
  lcSensX 1.0 lcSensY 1.0 lcSensZ 1.0 \
  lcSysMode 0 lcSysOrgX 0 lcSysOrgY 0 lcSysExtX 1920 lcSysExtY 1080 \
  lcSysSensX 1.0 lcSysSensY 1.0

item device:0 DVC_NAME        text "Simulated Pen Tablet M"
item device:0 DVC_HARDWARE    u32 0x000C            # HARDPROX PHYSID_CURSORS
item device:0 3               u32 0                 # DVC_FIRSTCSR (not asked)
item device:0 4               u32 3                 # DVC_NCSRTYPES (not asked)
item device:0 DVC_PKTRATE     u32 200
item device:0 DVC_PKTDATA     u32 0x1FFF
item device:0 DVC_CSRDATA     u32 0x1C10
item device:0 DVC_X           axis 0 44704 2 2000.0
item device:0 DVC_Y           axis 0 27940 2 2000.0
item device:0 DVC_NPRESSURE   axis 0 8191 0 0
item device:0 DVC_TPRESSURE   axis 0 1023 0 0
item device:0 DVC_ORIENTATION axis 0 3600 3 3600.0  -1000 1000 3 1000.0  0 3600 3 3600.0
item device:0 DVC_PNPID       text "PSC0104"

item cursor:0 CSR_NAME         text "Pressure Pen"
item cursor:0 CSR_ACTIVE       u32 1
item cursor:0 CSR_PKTDATA      u32 0x1FFF
item cursor:0 CSR_BUTTONS      u8 3
item cursor:0 CSR_BUTTONBITS   u8 3
item cursor:0 CSR_BTNNAMES     text "Tip" "Lower Switch" "Upper Switch" u16 0
item cursor:0 CSR_BUTTONMAP    u8 0 1 2 fill 29 u8 0
item cursor:0 CSR_SYSBTNMAP    u8 1 7 4 fill 29 u8 0
item cursor:0 CSR_NPBUTTON     u8 0
item cursor:0 CSR_NPBTNMARKS   u8 0 1
item cursor:0 CSR_NPRESPONSE   u32 0 2048 4096 6144 8191
item cursor:0 CSR_TPBUTTON     u8 0
item cursor:0 CSR_TPBTNMARKS   u8 0 1
item cursor:0 CSR_TPRESPONSE   u32 0 1023
item cursor:0 CSR_PHYSID       u32 0x0802A31C
item cursor:0 CSR_MODE         u32 0
item cursor:0 CSR_MINPKTDATA   u32 0
item cursor:0 CSR_MINBUTTONS   u32 0
item cursor:0 CSR_CAPABILITIES u32 0x0003           # MULTIMODE AGGREGATE

item cursor:1 CSR_NAME         text "Pressure Eraser"
item cursor:1 CSR_ACTIVE       u32 1
item cursor:1 CSR_PKTDATA      u32 0x1FFF
item cursor:1 CSR_BUTTONS      u8 1
item cursor:1 CSR_BUTTONBITS   u8 1
item cursor:1 CSR_BTNNAMES     text "Eraser Tip" u16 0
item cursor:1 CSR_BUTTONMAP    u8 0 fill 31 u8 0
item cursor:1 CSR_SYSBTNMAP    u8 1 fill 31 u8 0
item cursor:1 CSR_NPBUTTON     u8 0
item cursor:1 CSR_NPBTNMARKS   u8 0 1
item cursor:1 CSR_NPRESPONSE   u32 0 2048 4096 6144 8191
item cursor:1 CSR_TPBUTTON     u8 0
item cursor:1 CSR_TPBTNMARKS   u8 0 1
item cursor:1 CSR_TPRESPONSE   u32 0 1023
item cursor:1 CSR_PHYSID       u32 0x0802A31C
item cursor:1 CSR_MODE         u32 1
item cursor:1 CSR_MINPKTDATA   u32 0
item cursor:1 CSR_MINBUTTONS   u32 0
item cursor:1 CSR_CAPABILITIES u32 0x0007           # MULTIMODE AGGREGATE INVERT

item cursor:2 CSR_NAME         text "Four-Button Puck"
item cursor:2 CSR_ACTIVE       u32 0
item cursor:2 CSR_PKTDATA      u32 0x11FF
item cursor:2 CSR_BUTTONS      u8 4
item cursor:2 CSR_BUTTONBITS   u8 4
item cursor:2 CSR_BTNNAMES     text "Left" "Middle" "Right" "Fourth" u16 0
item cursor:2 CSR_BUTTONMAP    u8 0 1 2 3 fill 28 u8 0
item cursor:2 CSR_SYSBTNMAP    u8 1 10 4 13 fill 28 u8 0
item cursor:2 CSR_NPBUTTON     u8 0
item cursor:2 CSR_NPBTNMARKS   u8 0 0
item cursor:2 CSR_NPRESPONSE   u32 0 1
item cursor:2 CSR_TPBUTTON     u8 0
item cursor:2 CSR_TPBTNMARKS   u8 0 0
item cursor:2 CSR_TPRESPONSE   u32 0 1
item cursor:2 CSR_PHYSID       u32 0x00004C71
item cursor:2 CSR_MODE         u32 2
item cursor:2 CSR_MINPKTDATA   u32 0
item cursor:2 CSR_MINBUTTONS   u32 0
item cursor:2 CSR_CAPABILITIES u32 0x0001           # MULTIMODE

# A short stroke of the pen: it comes near, presses down harder and harder,
# lets go and leaves (status 1 is TPS_PROXIMITY: outside the context).
packet time 1000 cursor 0 x 10000 y 8000 pressure 0 azimuth 900 altitude 600
packet time 1020 x 10500 y 8200 pressure 1024 buttons 1
packet time 1040 x 11000 y 8400 pressure 2048 azimuth 950
packet time 1060 x 11500 y 8600 pressure 4096 altitude 550
packet time 1080 x 12000 y 8800 pressure 6144
packet time 1100 x 12500 y 9000 pressure 8191 azimuth 1000
packet time 1120 x 13000 y 9200 pressure 4096
packet time 1140 x 13500 y 9400 pressure 0 buttons 0
packet time 1160 status 1
)";

// A tablet computer: a pen digitizer and a touch panel built into the screen.
constexpr const char kTabletPc[] = R"(
item availability 0            text "PADSCOPE Simulated Tablet PC Interface 1.4"
item interface IFC_WINTABID    text "PADSCOPE Simulated Tablet PC Interface 1.4"
item interface IFC_SPECVERSION u16 0x0104
item interface IFC_IMPLVERSION u16 0x0110
item interface IFC_NDEVICES    u32 2
item interface IFC_NCURSORS    u32 3
item interface IFC_NCONTEXTS   u32 32

item defcontext 0 context \
  lcName "Tablet PC Digitizing" lcOptions 0x0004 lcMsgBase 0x7FF0 lcDevice 0 lcPktRate 133 \
  lcPktData 0x15FF lcMoveMask 0x15FF lcBtnDnMask 0xFFFFFFFF lcBtnUpMask 0xFFFFFFFF \
  lcInExtX 29376 lcInExtY 16524 lcOutExtX 29376 lcOutExtY 16524 \
  lcSensX 1.0 lcSensY 1.0 lcSensZ 1.0 lcSysExtX 2560 lcSysExtY 1440 lcSysSensX 1.0 lcSysSensY 1.0

item defsysctx 0 context \
  lcName "Tablet PC System" lcOptions 0x0003 lcMsgBase 0x7FF0 lcDevice 0 lcPktRate 133 \
  lcPktData 0x05C0 lcMoveMask 0x05C0 lcBtnDnMask 0xFFFFFFFF lcBtnUpMask 0xFFFFFFFF \
  lcInExtX 29376 lcInExtY 16524 lcOutExtX 2560 lcOutExtY -1440 \
  lcSensX 1.0 lcSensY 1.0 lcSensZ 1.0 lcSysExtX 2560 lcSysExtY 1440 lcSysSensX 1.0 lcSysSensY 1.0

item device:0 DVC_NAME        text "Integrated Pen Digitizer"
item device:0 DVC_HARDWARE    u32 0x0005            # INTEGRATED HARDPROX
item device:0 3               u32 0                 # DVC_FIRSTCSR
item device:0 4               u32 2                 # DVC_NCSRTYPES
item device:0 DVC_PKTRATE     u32 133
item device:0 DVC_PKTDATA     u32 0x15FF
item device:0 DVC_CSRDATA     u32 0x0410
item device:0 DVC_X           axis 0 29376 2 1000.0
item device:0 DVC_Y           axis 0 16524 2 1000.0
item device:0 DVC_NPRESSURE   axis 0 4095 0 0
item device:0 DVC_ORIENTATION axis 0 3600 3 3600.0  0 900 3 3600.0  0 0 0 0
item device:0 DVC_PNPID       text "PSC5001"

item device:1 DVC_NAME        text "Integrated Touch Panel"
item device:1 DVC_HARDWARE    u32 0x0003            # INTEGRATED TOUCH
item device:1 3               u32 2                 # DVC_FIRSTCSR
item device:1 4               u32 1                 # DVC_NCSRTYPES
item device:1 DVC_PKTRATE     u32 100
item device:1 DVC_PKTDATA     u32 0x01E7
item device:1 DVC_CSRDATA     u32 0
item device:1 DVC_X           axis 0 4095 2 140.0
item device:1 DVC_Y           axis 0 2303 2 140.0
item device:1 DVC_PNPID       text "PSC5002"

item cursor:0 CSR_NAME         text "Pen"
item cursor:0 CSR_ACTIVE       u32 1
item cursor:0 CSR_PKTDATA      u32 0x15FF
item cursor:0 CSR_BUTTONS      u8 2
item cursor:0 CSR_BUTTONBITS   u8 2
item cursor:0 CSR_BTNNAMES     text "Tip" "Barrel" u16 0
item cursor:0 CSR_BUTTONMAP    u8 0 1 fill 30 u8 0
item cursor:0 CSR_SYSBTNMAP    u8 1 4 fill 30 u8 0
item cursor:0 CSR_NPBUTTON     u8 0
item cursor:0 CSR_NPBTNMARKS   u8 0 1
item cursor:0 CSR_NPRESPONSE   u32 0 4095
item cursor:0 CSR_TPBUTTON     u8 0
item cursor:0 CSR_TPBTNMARKS   u8 0 0
item cursor:0 CSR_TPRESPONSE   empty
item cursor:0 CSR_PHYSID       u32 0x00A0F001
item cursor:0 CSR_MODE         u32 0
item cursor:0 CSR_MINPKTDATA   u32 0
item cursor:0 CSR_MINBUTTONS   u32 0
item cursor:0 CSR_CAPABILITIES u32 0x0003           # MULTIMODE AGGREGATE

item cursor:1 CSR_NAME         text "Eraser"
item cursor:1 CSR_ACTIVE       u32 1
item cursor:1 CSR_PKTDATA      u32 0x15FF
item cursor:1 CSR_BUTTONS      u8 1
item cursor:1 CSR_BUTTONBITS   u8 1
item cursor:1 CSR_BTNNAMES     text "Eraser" u16 0
item cursor:1 CSR_BUTTONMAP    u8 0 fill 31 u8 0
item cursor:1 CSR_SYSBTNMAP    u8 1 fill 31 u8 0
item cursor:1 CSR_NPBUTTON     u8 0
item cursor:1 CSR_NPBTNMARKS   u8 0 1
item cursor:1 CSR_NPRESPONSE   u32 0 4095
item cursor:1 CSR_TPBUTTON     u8 0
item cursor:1 CSR_TPBTNMARKS   u8 0 0
item cursor:1 CSR_PHYSID       u32 0x00A0F001
item cursor:1 CSR_MODE         u32 1
item cursor:1 CSR_MINPKTDATA   u32 0
item cursor:1 CSR_MINBUTTONS   u32 0
item cursor:1 CSR_CAPABILITIES u32 0x0007           # MULTIMODE AGGREGATE INVERT

item cursor:2 CSR_NAME         text "Finger"
item cursor:2 CSR_ACTIVE       u32 1
item cursor:2 CSR_PKTDATA      u32 0x01E7
item cursor:2 CSR_BUTTONS      u8 1
item cursor:2 CSR_BUTTONBITS   u8 1
item cursor:2 CSR_BTNNAMES     text "Contact" u16 0
item cursor:2 CSR_BUTTONMAP    u8 0 fill 31 u8 0
item cursor:2 CSR_SYSBTNMAP    u8 1 fill 31 u8 0
item cursor:2 CSR_NPBUTTON     u8 0
item cursor:2 CSR_PHYSID       u32 0
item cursor:2 CSR_MODE         u32 0
item cursor:2 CSR_MINPKTDATA   u32 0
item cursor:2 CSR_MINBUTTONS   u32 0
item cursor:2 CSR_CAPABILITIES u32 0
)";

// Every renderer gets an answer of the wrong size somewhere.
constexpr const char kWrongSizes[] = R"(
base default
item interface IFC_WINTABID    chars "No terminator" u8 0x41   # text: 27 bytes, no zero unit
item interface IFC_SPECVERSION u32 0x0104             # version: 4 bytes, not 2
item interface IFC_IMPLVERSION u8 3                   # version: 1 byte
item interface IFC_NDEVICES    u16 1                  # count: 2 bytes; the first four still read 1
item interface IFC_NCONTEXTS   u32 16 0               # count: 8 bytes
item defcontext 0              context lcName "Cut Short" size 200
item defsysctx 0               context lcName "Overlong" lcDevice 0 size 216
item device:0 DVC_HARDWARE     u16 0x000C             # flag row: 2 bytes
item device:0 DVC_PKTRATE      u32 200 0              # uint: 8 bytes
item device:0 DVC_PKTDATA      u32 0x1FFF 0           # flag row: 8 bytes
item device:0 DVC_CSRDATA      u8 0x10                # flag row: 1 byte
item device:0 DVC_X            axis 0 44704 2 2000.0  0 44704 2 2000.0   # axis: 32 bytes
item device:0 DVC_Y            i32 0 27940 2          # axis: 12 bytes
item device:0 DVC_Z            axis 0 1023 0 0 u8 0   # axis: 17 bytes
item device:0 DVC_ORIENTATION  axis 0 3600 3 3600.0   # orientation: 16 bytes, not 48
item cursor:0 CSR_ACTIVE       u8 1                   # bool: 1 byte
item cursor:0 CSR_PKTDATA      u16 0x1FFF             # flag row: 2 bytes
item cursor:0 CSR_BUTTONS      u32 3                  # byte: 4 bytes
item cursor:0 CSR_BUTTONBITS   u16 3                  # byte: 2 bytes
item cursor:0 CSR_NPBUTTON     u16 0
item cursor:0 CSR_TPBUTTON     u32 0
item cursor:0 CSR_NPRESPONSE   u16 0 4096 8191        # uint array: 6 bytes, not a multiple of 4
item cursor:0 CSR_TPRESPONSE   fill 1028 u32 7        # uint array: 257 values
item cursor:0 CSR_PHYSID       u8 1                   # uint: 1 byte
item cursor:0 CSR_MODE         u16 0
item cursor:0 CSR_MINPKTDATA   u32 0 0
item cursor:0 CSR_MINBUTTONS   u8 0
item cursor:0 CSR_CAPABILITIES u8 3                   # flag row: 1 byte
item cursor:1 CSR_NPRESPONSE   fill 1030 u8 1         # both too long and not a multiple of 4
item cursor:1 CSR_TPRESPONSE   fill 1024 u32 9        # exactly 256 values: still accepted
)";

constexpr const char kNoTablet[] = R"(
# The availability probe answers 0, and so does everything else.
)";

constexpr const char kFaults[] = R"(
base default
on interface IFC_IMPLVERSION probe segv
on interface IFC_NCONTEXTS   real ill
on defcontext 0              real fpe
on device:0 DVC_PKTRATE      probe fpe
on device:0 DVC_X            real segv
on cursor:0 CSR_BTNNAMES     real raise
on cursor:1 CSR_NAME         probe ill
on cursor:2 CSR_PHYSID       real segv
)";

constexpr const char kHang[] = R"(
base default
on device:0 DVC_PKTDATA real hang
)";

constexpr const char kAvailabilityFault[] = R"(
base default
on availability 0 probe segv
)";

constexpr const char kAvailabilityHang[] = R"(
base default
on availability 0 probe hang
)";

constexpr const char kZeroCounts[] = R"(
base default
item interface IFC_NDEVICES u32 0
item interface IFC_NCURSORS u32 0
)";

constexpr const char kContextDeviceBeyond[] = R"(
base tablet-pc
patch defsysctx 0 96 u32 3          # lcDevice names device 3 of 2
)";

constexpr const char kManyCursors[] = R"(
base default
item interface IFC_NCURSORS u32 100000
item cursor:0-99999 CSR_NAME         text "Pressure Pen"
item cursor:0-99999 CSR_ACTIVE       u32 1
item cursor:0-99999 CSR_PKTDATA      u32 0x1FFF
item cursor:0-99999 CSR_BUTTONS      u8 3
item cursor:0-99999 CSR_BUTTONBITS   u8 3
item cursor:0-99999 CSR_BTNNAMES     text "Tip" "Lower Switch" "Upper Switch" u16 0
item cursor:0-99999 CSR_BUTTONMAP    u8 0 1 2 fill 29 u8 0
item cursor:0-99999 CSR_SYSBTNMAP    u8 1 7 4 fill 29 u8 0
item cursor:0-99999 CSR_NPBUTTON     u8 0
item cursor:0-99999 CSR_NPBTNMARKS   u8 0 1
item cursor:0-99999 CSR_NPRESPONSE   u32 0 2048 4096 6144 8191
item cursor:0-99999 CSR_TPBUTTON     u8 0
item cursor:0-99999 CSR_TPBTNMARKS   u8 0 1
item cursor:0-99999 CSR_TPRESPONSE   u32 0 1023
item cursor:0-99999 CSR_PHYSID       u32 0x0802A31C
item cursor:0-99999 CSR_MODE         u32 0
item cursor:0-99999 CSR_MINPKTDATA   u32 0
item cursor:0-99999 CSR_MINBUTTONS   u32 0
item cursor:0-99999 CSR_CAPABILITIES u32 0x0003
)";

constexpr const char kCapacityUnterminated[] = R"(
base default
item interface IFC_WINTABID fill 131072 u16 0x0041   # 65536 units of "A", no zero unit
)";

constexpr const char kCapacityBigProbe[] = R"(
base default
on device:0 DVC_NAME probe count=200000              # the real call still writes and returns 46
)";

constexpr const char kCapacityUndercount[] = R"(
base default
on device:0 DVC_NAME real count=4                    # writes all 46 bytes, says 4
)";

constexpr const char kCapacityOverrun[] = R"(
base default
on device:0 DVC_PNPID real write=140000              # writes 140000 bytes, past a 131072-byte buffer
)";

constexpr BuiltinProfile kBuiltins[] = {
    {"default", "a pen tablet: one device, pen, eraser and puck", kDefault},
    {"tablet-pc", "a pen digitizer and a touch panel built into the screen", kTabletPc},
    {"no-tablet", "the availability probe answers 0, and so does everything else", kNoTablet},
    {"wrong-sizes", "an answer of the wrong size for every renderer", kWrongSizes},
    {"faults", "processor faults and a raised exception inside chosen answers", kFaults},
    {"hang", "the real call of device 0's DVC_PKTDATA never returns", kHang},
    {"availability-fault", "the availability probe faults", kAvailabilityFault},
    {"availability-hang", "the availability probe never returns", kAvailabilityHang},
    {"zero-counts", "IFC_NDEVICES and IFC_NCURSORS answer 0", kZeroCounts},
    {"context-device-beyond", "tablet-pc whose system context names device 3", kContextDeviceBeyond},
    {"many-cursors", "100000 cursors that answer like real ones", kManyCursors},
    {"capacity-unterminated", "IFC_WINTABID of exactly 131072 bytes with no zero unit", kCapacityUnterminated},
    {"capacity-big-probe", "the size probe of device 0's DVC_NAME answers 200000", kCapacityBigProbe},
    {"capacity-undercount", "device 0's DVC_NAME writes 46 bytes and returns 4", kCapacityUndercount},
    {"capacity-overrun", "device 0's DVC_PNPID writes 140000 bytes into the caller's buffer", kCapacityOverrun},
};

}  // namespace

std::span<const BuiltinProfile> BuiltinProfiles() { return kBuiltins; }

const char* FindBuiltinProfile(std::string_view name) {
  for (const BuiltinProfile& builtin : kBuiltins) {
    if (name == builtin.name) return builtin.text;
  }
  return nullptr;
}

}  // namespace sim
