// The profile text format, parsed directly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/builtin_profiles.h"
#include "sim/profile_parser.h"
#include "wintab/wintab_binding.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct EncodingRow {
  const char* values;  // written after "item interface 1 "
  Bytes expected;
};

TEST(profile_format, encodes_each_value_kind_little_endian) {
  static const EncodingRow kRows[] = {
      {"u8 1 255", {0x01, 0xFF}},
      {"u16 0x0104", {0x04, 0x01}},
      {"u32 0x01020304", {0x04, 0x03, 0x02, 0x01}},
      {"u32 4294967295", {0xFF, 0xFF, 0xFF, 0xFF}},
      {"i32 -2", {0xFE, 0xFF, 0xFF, 0xFF}},
      {"i32 -2147483648", {0x00, 0x00, 0x00, 0x80}},
      {"fix32 1.5", {0x00, 0x80, 0x01, 0x00}},
      {"fix32 3600", {0x00, 0x00, 0x10, 0x0E}},
      {"fix32 0x0E100000", {0x00, 0x00, 0x10, 0x0E}},
      {"fix32 1.600006103515625", {0x9A, 0x99, 0x01, 0x00}},
      {"fix32 0.0000152587890625", {0x01, 0x00, 0x00, 0x00}},
      {"fix32 0.00001", {0x01, 0x00, 0x00, 0x00}},  // 0.655 units rounds to 1
      {"fix32 65535.9999847412109375", {0xFF, 0xFF, 0xFF, 0xFF}},
      {"text \"Ab\"", {0x41, 0x00, 0x62, 0x00, 0x00, 0x00}},
      {"chars \"Ab\"", {0x41, 0x00, 0x62, 0x00}},
      {"text \"a\" \"b\" u16 0", {0x61, 0x00, 0x00, 0x00, 0x62, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {"text \"\xC3\xA9\"", {0xE9, 0x00, 0x00, 0x00}},                            // UTF-8 e-acute
      {"chars \"\xF0\x9F\x98\x80\"", {0x3D, 0xD8, 0x00, 0xDE}},                  // surrogate pair
      {"chars \"\\\"\\\\\\0\\u20AC\"", {0x22, 0x00, 0x5C, 0x00, 0x00, 0x00, 0xAC, 0x20}},  // " \ NUL euro
      {"axis -100 200 2 1000.0",
       {0x9C, 0xFF, 0xFF, 0xFF, 0xC8, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE8, 0x03}},
      {"fill 5 u16 0x0041", {0x41, 0x00, 0x41, 0x00, 0x41}},
      {"fill 6 u32 0x04030201", {0x01, 0x02, 0x03, 0x04, 0x01, 0x02}},
      {"u32 1 size 2", {0x01, 0x00}},
      {"u8 7 size 3", {0x07, 0x00, 0x00}},
      {"u8 1 u16 2 # a comment after the values", {0x01, 0x02, 0x00}},
      {"empty", {}},
  };
  for (size_t row = 0; row < std::size(kRows); ++row) {
    sim::Profile profile;
    std::string error;
    const std::string line = std::string("item interface 1 ") + kRows[row].values;
    ASSERT_TRUE(sim::ParseProfileText(line, profile, error)) << "row " << row << " (" << line << "): " << error;
    const Bytes* answer = profile.FindAnswer(1, 1);
    ASSERT_NE(answer, nullptr) << "row " << row;
    EXPECT_EQ(*answer, kRows[row].expected) << "row " << row << " (" << line << ")";
  }
}

TEST(profile_format, builds_a_whole_context_record_from_named_fields) {
  sim::Profile profile;
  std::string error;
  ASSERT_TRUE(sim::ParseProfileText("item defsysctx 0 context lcName \"Sys\" lcOptions 0x8004 \\\n"
                                    "   lcDevice 3 lcOutExtY -1080 lcSensX 1.5 lcSysSensY 0x00020000",
                                    profile, error))
      << error;
  const Bytes* answer = profile.FindAnswer(wintab::WTI_DEFSYSCTX, 0);
  ASSERT_NE(answer, nullptr);
  ASSERT_EQ(answer->size(), sizeof(wintab::LOGCONTEXTW));
  wintab::LOGCONTEXTW context;
  std::memcpy(&context, answer->data(), sizeof context);
  EXPECT_EQ(std::u16string(context.lcName), u"Sys");
  EXPECT_EQ(context.lcOptions, 0x8004u);
  EXPECT_EQ(context.lcDevice, 3u);
  EXPECT_EQ(context.lcOutExtY, -1080);
  EXPECT_EQ(context.lcSensX, 0x00018000u);
  EXPECT_EQ(context.lcSysSensY, 0x00020000u);
  EXPECT_EQ(context.lcStatus, 0u) << "fields not named are zero";
  EXPECT_EQ(context.lcSysExtX, 0);
}

TEST(profile_format, category_names_and_ranges_select_the_categories) {
  sim::Profile profile;
  std::string error;
  ASSERT_TRUE(sim::ParseProfileText("item device:2 DVC_NAME text \"d\"\n"
                                    "item cursor:5-7 CSR_NAME text \"c\"\n"
                                    "item 300-301 2 u8 1\n"
                                    "item availability 0 u8 9\n",
                                    profile, error))
      << error;
  struct Probe {
    uint32_t category;
    uint32_t index;
    bool found;
  };
  static const Probe kProbes[] = {
      {102, 1, true}, {101, 1, false}, {103, 1, false}, {102, 2, false},
      {204, 1, false}, {205, 1, true}, {207, 1, true}, {208, 1, false},
      {300, 2, true}, {301, 2, true}, {302, 2, false}, {0, 0, true},
  };
  for (const Probe& probe : kProbes) {
    EXPECT_EQ(profile.FindAnswer(probe.category, probe.index) != nullptr, probe.found)
        << "category " << probe.category << " index " << probe.index;
  }
}

TEST(profile_format, later_items_override_and_patches_change_bytes_in_place) {
  sim::Profile profile;
  std::string error;
  ASSERT_TRUE(sim::ParseProfileText("base default\n"
                                    "item interface IFC_NDEVICES u32 5\n"
                                    "patch defsysctx 0 96 u32 3\n",
                                    profile, error))
      << error;
  EXPECT_EQ(*profile.FindAnswer(1, wintab::IFC_NDEVICES), (Bytes{5, 0, 0, 0}));

  sim::Profile original;
  ASSERT_TRUE(sim::ParseProfileText("base default", original, error)) << error;
  Bytes expected = *original.FindAnswer(wintab::WTI_DEFSYSCTX, 0);
  ASSERT_EQ(expected.size(), 212u);
  expected[offsetof(wintab::LOGCONTEXTW, lcDevice)] = 3;
  EXPECT_EQ(*profile.FindAnswer(wintab::WTI_DEFSYSCTX, 0), expected);
}

TEST(profile_format, behaviours_merge_per_phase) {
  sim::Profile profile;
  std::string error;
  ASSERT_TRUE(sim::ParseProfileText("on device:0 DVC_NAME real count=4 write=9\n"
                                    "on device:0 DVC_NAME real segv\n"
                                    "on device:0 DVC_NAME probe raise:0xE0001234\n",
                                    profile, error))
      << error;
  const sim::CallBehaviour real = profile.BehaviourFor(100, wintab::DVC_NAME, sim::CallPhase::real);
  EXPECT_EQ(real.misconduct, sim::Misconduct::accessViolation);
  EXPECT_EQ(real.returnedCount, 4u);
  EXPECT_EQ(real.writtenBytes, 9u);
  const sim::CallBehaviour probe = profile.BehaviourFor(100, wintab::DVC_NAME, sim::CallPhase::probe);
  EXPECT_EQ(probe.misconduct, sim::Misconduct::raise);
  EXPECT_EQ(probe.raiseCode, 0xE0001234u);
  EXPECT_FALSE(probe.returnedCount.has_value());
  EXPECT_EQ(profile.BehaviourFor(101, wintab::DVC_NAME, sim::CallPhase::real).misconduct, sim::Misconduct::none);
}

TEST(profile_format, injections_use_commas_and_semicolons) {
  sim::Profile profile;
  std::string error;
  ASSERT_TRUE(sim::ParseInjection("101,1,real,ill ; device:0, DVC_PKTRATE ,probe,hang;0,0,probe,fpe", profile, error))
      << error;
  EXPECT_EQ(profile.BehaviourFor(101, 1, sim::CallPhase::real).misconduct, sim::Misconduct::illegalInstruction);
  EXPECT_EQ(profile.BehaviourFor(100, wintab::DVC_PKTRATE, sim::CallPhase::probe).misconduct, sim::Misconduct::hang);
  EXPECT_EQ(profile.BehaviourFor(0, 0, sim::CallPhase::probe).misconduct, sim::Misconduct::divideByZero);
  EXPECT_TRUE(sim::ParseInjection("", profile, error)) << "no injection at all is fine";
}

TEST(profile_format, packets_keep_what_they_do_not_name_and_count_serial_and_time_on) {
  sim::Profile profile;
  std::string error;
  ASSERT_TRUE(sim::ParseProfileText("packet x -5 pressure 7 azimuth 900 pitch -1 context 0x1122334455667788\n"
                                    "packet time 100 status 1 cursor 2\n"
                                    "packet serial 40 y 0x7FFFFFFF roll 3 yaw 4 altitude -900 twist 5 tangent 6\n"
                                    "packet buttons 3 changed 0x180 z -1\n",
                                    profile, error))
      << error;
  ASSERT_EQ(profile.packets.size(), 4u);
  const sim::ScriptedPacket& first = profile.packets[0];
  EXPECT_EQ(first.time, 0u);
  EXPECT_EQ(first.serial, 1u);
  EXPECT_EQ(first.x, -5);
  EXPECT_EQ(first.normalPressure, 7u);
  EXPECT_EQ(first.context, 0x1122334455667788u);
  const sim::ScriptedPacket& second = profile.packets[1];
  EXPECT_EQ(second.time, 100u);
  EXPECT_EQ(second.serial, 2u);
  EXPECT_EQ(second.status, 1u);
  EXPECT_EQ(second.cursor, 2u);
  EXPECT_EQ(second.x, -5);
  EXPECT_EQ(second.orientation[0], 900);
  EXPECT_EQ(second.rotation[0], -1);
  const sim::ScriptedPacket& last = profile.packets[3];
  EXPECT_EQ(last.time, 110u);
  EXPECT_EQ(last.serial, 41u);
  EXPECT_EQ(last.y, 0x7FFFFFFF);
  EXPECT_EQ(last.z, -1);
  EXPECT_EQ(last.buttons, 3u);
  EXPECT_EQ(last.changed, 0x180u);
  EXPECT_EQ(last.tangentPressure, 6u);
  EXPECT_EQ(last.orientation[1], -900);
  EXPECT_EQ(last.orientation[2], 5);
  EXPECT_EQ(last.rotation[1], 3);
  EXPECT_EQ(last.rotation[2], 4);
  EXPECT_EQ(last.status, 1u);
  ASSERT_TRUE(sim::ParseProfileText("packet none\npacket x 1\n", profile, error)) << error;
  ASSERT_EQ(profile.packets.size(), 1u);
  EXPECT_EQ(profile.packets[0].serial, 1u);
  EXPECT_EQ(profile.packets[0].normalPressure, 0u);
}

TEST(profile_format, pen_call_behaviours_combine_in_profiles_and_injections) {
  sim::Profile profile;
  std::string error;
  ASSERT_TRUE(sim::ParseProfileText("call WTPacketsGet count=-3 write=2\ncall WTPacketsGet hang\n"
                                    "call WTOpenW handle=0xDEAD\n",
                                    profile, error))
      << error;
  ASSERT_TRUE(sim::ParseInjection("WTOpenW, fail; WTClose,raise:0xE0001234;WTEnable,segv", profile, error)) << error;
  const auto& get = profile.penCalls[static_cast<size_t>(sim::PenEntry::packetsGet)];
  EXPECT_EQ(get.misconduct, sim::Misconduct::hang);
  EXPECT_EQ(get.returnedCount, -3);
  EXPECT_EQ(get.writtenPackets, 2u);
  const auto& open = profile.penCalls[static_cast<size_t>(sim::PenEntry::open)];
  EXPECT_TRUE(open.fails);
  EXPECT_EQ(open.handle, 0xDEADu);
  EXPECT_EQ(profile.penCalls[static_cast<size_t>(sim::PenEntry::close)].raiseCode, 0xE0001234u);
  EXPECT_EQ(profile.penCalls[static_cast<size_t>(sim::PenEntry::enable)].misconduct,
            sim::Misconduct::accessViolation);
}

struct ErrorRow {
  const char* text;
  const char* expectedInError;
};

TEST(profile_format, rejects_malformed_text_and_names_the_line) {
  static const ErrorRow kRows[] = {
      {"item interface 1 u8 1\nfrobnicate 1 2", "line 2: unknown directive 'frobnicate'"},
      {"item interface 1 u8 256", "line 1: u8 value '256' is past the limit of u8, 255"},
      {"item interface 1 u16 65536", "u16 value '65536' is past the limit of u16, 65535"},
      {"item interface 1 u16 -1", "line 1: bad u16 value '-1'"},
      {"item interface 1 text \"open", "line 1: text without its closing quote"},
      {"item interface 1 text \"bad \\q\"", "unknown escape \\q"},
      {"item interface 1 text \"\xC0\x80\"", "not valid UTF-8"},  // overlong NUL
      {"item interface 1 text \"\xC3\"", "not valid UTF-8"},      // cut sequence
      {"item interface 1 u8 \"x\"", "'u8' takes numbers, not text"},
      {"item interface 1 text 5", "'text' takes quoted text"},
      {"item interface 1 axis 0 1 2", "an axis needs four values"},
      {"item interface 1 fix32 65536.0", "bad fix32 value"},
      {"item interface 1", "no value (write 'empty'"},
      {"item interface 1 5", "value without an encoding"},
      {"item interface 1 u8", "encoding 'u8' without values"},
      {"item cursor:0 DVC_NAME text \"x\"", "does not belong to the category"},
      {"item interface NOT_AN_INDEX u8 1", "unknown index 'NOT_AN_INDEX'"},
      {"item device:100 1 u8 1", "bad category 'device:100': past the limit of device:99"},
      {"item 7-3 1 u8 1", "bad category '7-3'"},
      {"\n\npatch interface 1 0 u8 1", "line 3: patch of an item that the profile does not have"},
      {"on interface 1 probe write=4", "write= applies to real calls only"},
      {"on interface 1 sideways segv", "expected probe or real"},
      {"on interface 1 real explode", "unknown action 'explode'"},
      {"base nowhere", "no built-in profile 'nowhere'"},
      {"item defcontext 0 context lcNope 1", "unknown context field 'lcNope'"},
      {"item defcontext 0 context lcName \"" "0123456789012345678901234567890123456789X" "\"",
       "bad value for context field lcName"},
      {"item interface 1 fill 5 u64 1", "fill needs"},
      {"item interface 1 u8 1 fill 16777216 u8 1", "answer longer than"},
      {"item interface 1 fill 16777217 u8 1", "fill of 16777217 bytes is past the limit of an answer, 16777216 bytes"},
      {"packet x", "pairs of <field> <value>"},
      {"packet pressure 1 speed 3", "unknown packet field 'speed'"},
      {"packet pressure -1", "bad value '-1' for packet field pressure: expected a number from 0 to 4294967295"},
      {"packet x 2147483648", "bad value '2147483648' for packet field x: expected a number from -2147483648 to 2147483647"},
      {"packet x 1 y \"2\"", "packet takes no text"},
      {"call WTInfoW segv", "a call behaviour needs"},
      {"call WTClose", "a call behaviour needs"},
      {"call WTClose explode", "unknown action 'explode'"},
      {"call WTClose write=2", "applies to WTPacketsGet only"},
      {"call WTPacketsGet write=4097", "write= takes a number up to 4096"},
      {"call WTEnable handle=1", "applies to WTOpenW only"},
      {"slow", "slow takes milliseconds up to 60000"},
      {"slow 60001", "slow takes milliseconds up to 60000"},
      {"slow 5 ms", "slow takes milliseconds up to 60000"},
      {"handles 0", "handles needs the first handle"},
      // What a file can be besides a profile: empty, UTF-16, cut short.
      {"", "the file is empty"},
      {"\xFF\xFEi\0t\0e\0m\0", "line 1: the file is UTF-16 text; expected UTF-8"},
      {"\xFE\xFF", "line 1: the file is UTF-16 text"},  // big-endian
      {"item interface 1 \\\n", "line 1: the file is cut short: it ends inside a line continued with '\\'"},
      // Recordings: their format line, their end, their line numbers.
      {"padscope-recording 2\nitem interface 1 u8 1\n", "the file is cut short: the recording's last line is not 'end'"},
      {"padscope-recording 2\nitem interface 1 text \"cut", "the file is cut short"},
      {"padscope-recording 3\nend\n", "line 1: 'padscope-recording 3' is a format this version cannot replay; expected 'padscope-recording 2'"},
      {"padscope-recording 2\r\nitem interface 1 u8 x\r\nend\r\n", "line 2: bad u8 value 'x'"},
      {"padscope-recording 2\nend\nitem interface 1 u8 1\nend\n", "line 3: nothing may follow the recording's 'end'"},
      {"padscope-recording 2\nsystem desktop\nend\n", "line 2: system needs: <fact> <value>"},
  };
  for (size_t row = 0; row < std::size(kRows); ++row) {
    sim::Profile profile;
    std::string error;
    EXPECT_FALSE(sim::ParseProfileText(kRows[row].text, profile, error)) << "row " << row;
    EXPECT_NE(error.find(kRows[row].expectedInError), std::string::npos)
        << "row " << row << ": error was \"" << error << "\"";
  }
  sim::Profile profile;
  std::string error;
  EXPECT_FALSE(sim::ParseInjection("1,4,probe", profile, error));
  EXPECT_NE(error.find("injection '1,4,probe'"), std::string::npos) << error;
}

// A recording as Windows writes it (CR LF) and an editor may keep it (a
// UTF-8 byte order mark): its answers, options and system facts are read.
TEST(profile_format, reads_a_recording_with_its_options_and_system_facts) {
  const char text[] =
      "\xEF\xBB\xBFpadscope-recording 2\r\n# a comment\r\noptions --diagnose --pen=1\r\n"
      "system library-path \"C:\\\\Tablet\\\\WINTAB32.DLL\"\r\nsystem desktop 0 0 1280 1024\r\n"
      "item interface 1 u8 7 \\\r\n  u8 8\r\nhandles 4660\r\nend\r\n";
  sim::Profile profile;
  std::string error;
  ASSERT_TRUE(sim::ParseProfileText(text, profile, error)) << error;
  const std::vector<std::pair<std::string, std::u16string>> expected = {
      {"options", u"--diagnose --pen=1"}, {"library-path", u"C:\\Tablet\\WINTAB32.DLL"}, {"desktop", u"0 0 1280 1024"}};
  EXPECT_EQ(profile.recorded, expected);
  ASSERT_NE(profile.FindAnswer(wintab::WTI_INTERFACE, 1), nullptr);
  EXPECT_EQ(*profile.FindAnswer(wintab::WTI_INTERFACE, 1), (Bytes{7, 8}));
  EXPECT_EQ(profile.firstHandle, 4660u);
}

TEST(profile_format, every_builtin_profile_parses) {
  for (const sim::BuiltinProfile& builtin : sim::BuiltinProfiles()) {
    sim::Profile profile;
    std::string error;
    EXPECT_TRUE(sim::ParseProfileText(builtin.text, profile, error)) << builtin.name << ": " << error;
    EXPECT_EQ(sim::FindBuiltinProfile(builtin.name), builtin.text) << builtin.name;
  }
  EXPECT_NE(sim::FindBuiltinProfile(sim::kDefaultProfileName), nullptr);
}

}  // namespace
