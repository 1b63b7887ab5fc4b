// What PADSCOPE requires of WINTAB32.DLL: the entry point it calls, the
// categories and indices it asks, and the records it reads, laid out as the
// Wintab standard lays them out for 32-bit processes (little-endian).
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define PADSCOPE_WINTAB_API __stdcall
#else
#define PADSCOPE_WINTAB_API
#endif

namespace wintab {

// WTInfoW(category, index, output or null) -> byte count.
using WTInfoWEntry = uint32_t(PADSCOPE_WINTAB_API*)(uint32_t category, uint32_t index, void* output);

// The entry points of padscope-report's pen check. Contexts are opaque
// handles, as wide as a pointer; BOOL results and flags are int.
using WTOpenWEntry = void*(PADSCOPE_WINTAB_API*)(void* window, void* logContext, int enable);
using WTEnableEntry = int(PADSCOPE_WINTAB_API*)(void* context, int enable);
using WTPacketsGetEntry = int(PADSCOPE_WINTAB_API*)(void* context, int maximum, void* packets);
using WTCloseEntry = int(PADSCOPE_WINTAB_API*)(void* context);

inline constexpr char kLibraryFileName8[] = "WINTAB32.DLL";
inline constexpr char16_t kLibraryFileName[] = u"WINTAB32.DLL";
inline constexpr char kInfoEntryName[] = "WTInfoW";

// Largest answer the program accepts; the query buffer holds exactly this.
inline constexpr uint32_t kMaxAnswerBytes = 131072;

// Categories.
inline constexpr uint32_t kAvailability = 0;
inline constexpr uint32_t WTI_INTERFACE = 1;
inline constexpr uint32_t WTI_DEFCONTEXT = 3;
inline constexpr uint32_t WTI_DEFSYSCTX = 4;
inline constexpr uint32_t WTI_DEVICES = 100;
inline constexpr uint32_t WTI_CURSORS = 200;

// WTI_INTERFACE indices.
inline constexpr uint32_t IFC_WINTABID = 1;
inline constexpr uint32_t IFC_SPECVERSION = 2;
inline constexpr uint32_t IFC_IMPLVERSION = 3;
inline constexpr uint32_t IFC_NDEVICES = 4;
inline constexpr uint32_t IFC_NCURSORS = 5;
inline constexpr uint32_t IFC_NCONTEXTS = 6;

// WTI_DEVICES indices (only those the report asks).
inline constexpr uint32_t DVC_NAME = 1;
inline constexpr uint32_t DVC_HARDWARE = 2;
inline constexpr uint32_t DVC_PKTRATE = 5;
inline constexpr uint32_t DVC_PKTDATA = 6;
inline constexpr uint32_t DVC_CSRDATA = 8;
inline constexpr uint32_t DVC_X = 12;
inline constexpr uint32_t DVC_Y = 13;
inline constexpr uint32_t DVC_Z = 14;
inline constexpr uint32_t DVC_NPRESSURE = 15;
inline constexpr uint32_t DVC_TPRESSURE = 16;
inline constexpr uint32_t DVC_ORIENTATION = 17;
inline constexpr uint32_t DVC_PNPID = 19;

// WTI_CURSORS indices: every one from CSR_NAME to CSR_CAPABILITIES.
inline constexpr uint32_t CSR_NAME = 1;
inline constexpr uint32_t CSR_ACTIVE = 2;
inline constexpr uint32_t CSR_PKTDATA = 3;
inline constexpr uint32_t CSR_BUTTONS = 4;
inline constexpr uint32_t CSR_BUTTONBITS = 5;
inline constexpr uint32_t CSR_BTNNAMES = 6;
inline constexpr uint32_t CSR_BUTTONMAP = 7;
inline constexpr uint32_t CSR_SYSBTNMAP = 8;
inline constexpr uint32_t CSR_NPBUTTON = 9;
inline constexpr uint32_t CSR_NPBTNMARKS = 10;
inline constexpr uint32_t CSR_NPRESPONSE = 11;
inline constexpr uint32_t CSR_TPBUTTON = 12;
inline constexpr uint32_t CSR_TPBTNMARKS = 13;
inline constexpr uint32_t CSR_TPRESPONSE = 14;
inline constexpr uint32_t CSR_PHYSID = 15;
inline constexpr uint32_t CSR_MODE = 16;
inline constexpr uint32_t CSR_MINPKTDATA = 17;
inline constexpr uint32_t CSR_MINBUTTONS = 18;
inline constexpr uint32_t CSR_CAPABILITIES = 19;

// Packet fields (lcPktData, DVC_PKTDATA, CSR_PKTDATA bits). A packet holds
// the fields of its context's lcPktData in this bit order: PK_CONTEXT is a
// handle (4 or 8 bytes, as wide as a pointer of the process), the
// orientation and the rotation three 32-bit ints each, every other field
// one 32-bit value.
inline constexpr uint32_t PK_CONTEXT = 0x0001;
inline constexpr uint32_t PK_STATUS = 0x0002;
inline constexpr uint32_t PK_TIME = 0x0004;
inline constexpr uint32_t PK_CHANGED = 0x0008;
inline constexpr uint32_t PK_SERIAL_NUMBER = 0x0010;
inline constexpr uint32_t PK_CURSOR = 0x0020;
inline constexpr uint32_t PK_BUTTONS = 0x0040;
inline constexpr uint32_t PK_X = 0x0080;
inline constexpr uint32_t PK_Y = 0x0100;
inline constexpr uint32_t PK_Z = 0x0200;
inline constexpr uint32_t PK_NORMAL_PRESSURE = 0x0400;
inline constexpr uint32_t PK_TANGENT_PRESSURE = 0x0800;
inline constexpr uint32_t PK_ORIENTATION = 0x1000;
inline constexpr uint32_t PK_ROTATION = 0x2000;
inline constexpr uint32_t kKnownPacketFields = 0x3FFF;

// pkStatus: the cursor is outside the context.
inline constexpr uint32_t TPS_PROXIMITY = 0x0001;

// Messages, as offsets from the context's lcMsgBase.
inline constexpr uint32_t kProximityMessageOffset = 5;  // WT_PROXIMITY

using FIX32 = uint32_t;  // unsigned 16.16 fixed point
using WTPKT = uint32_t;  // packet-data bit set

struct AXIS {
  int32_t axMin;
  int32_t axMax;
  uint32_t axUnits;
  FIX32 axResolution;
};
static_assert(sizeof(AXIS) == 16);
static_assert(offsetof(AXIS, axMin) == 0 && offsetof(AXIS, axMax) == 4);
static_assert(offsetof(AXIS, axUnits) == 8 && offsetof(AXIS, axResolution) == 12);

inline constexpr size_t kContextNameUnits = 40;

struct LOGCONTEXTW {
  char16_t lcName[kContextNameUnits];
  uint32_t lcOptions;
  uint32_t lcStatus;
  uint32_t lcLocks;
  uint32_t lcMsgBase;
  uint32_t lcDevice;
  uint32_t lcPktRate;
  WTPKT lcPktData;
  WTPKT lcPktMode;
  WTPKT lcMoveMask;
  uint32_t lcBtnDnMask;
  uint32_t lcBtnUpMask;
  int32_t lcInOrgX;
  int32_t lcInOrgY;
  int32_t lcInOrgZ;
  int32_t lcInExtX;
  int32_t lcInExtY;
  int32_t lcInExtZ;
  int32_t lcOutOrgX;
  int32_t lcOutOrgY;
  int32_t lcOutOrgZ;
  int32_t lcOutExtX;
  int32_t lcOutExtY;
  int32_t lcOutExtZ;
  FIX32 lcSensX;
  FIX32 lcSensY;
  FIX32 lcSensZ;
  uint32_t lcSysMode;  // BOOL
  int32_t lcSysOrgX;
  int32_t lcSysOrgY;
  int32_t lcSysExtX;
  int32_t lcSysExtY;
  FIX32 lcSysSensX;
  FIX32 lcSysSensY;
};
static_assert(sizeof(LOGCONTEXTW) == 212);
static_assert(offsetof(LOGCONTEXTW, lcOptions) == 80);
static_assert(offsetof(LOGCONTEXTW, lcStatus) == 84);
static_assert(offsetof(LOGCONTEXTW, lcLocks) == 88);
static_assert(offsetof(LOGCONTEXTW, lcMsgBase) == 92);
static_assert(offsetof(LOGCONTEXTW, lcDevice) == 96);
static_assert(offsetof(LOGCONTEXTW, lcPktRate) == 100);
static_assert(offsetof(LOGCONTEXTW, lcPktData) == 104);
static_assert(offsetof(LOGCONTEXTW, lcPktMode) == 108);
static_assert(offsetof(LOGCONTEXTW, lcMoveMask) == 112);
static_assert(offsetof(LOGCONTEXTW, lcBtnDnMask) == 116);
static_assert(offsetof(LOGCONTEXTW, lcBtnUpMask) == 120);
static_assert(offsetof(LOGCONTEXTW, lcInOrgX) == 124);
static_assert(offsetof(LOGCONTEXTW, lcInExtZ) == 144);
static_assert(offsetof(LOGCONTEXTW, lcOutOrgX) == 148);
static_assert(offsetof(LOGCONTEXTW, lcOutExtZ) == 168);
static_assert(offsetof(LOGCONTEXTW, lcSensX) == 172);
static_assert(offsetof(LOGCONTEXTW, lcSensZ) == 180);
static_assert(offsetof(LOGCONTEXTW, lcSysMode) == 184);
static_assert(offsetof(LOGCONTEXTW, lcSysOrgX) == 188);
static_assert(offsetof(LOGCONTEXTW, lcSysExtY) == 200);
static_assert(offsetof(LOGCONTEXTW, lcSysSensX) == 204);
static_assert(offsetof(LOGCONTEXTW, lcSysSensY) == 208);

}  // namespace wintab
