#include "format/value_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using testsupport::Bytes;
using testsupport::InvalidLength;
using testsupport::MakeState;
using testsupport::Readable;
using testsupport::ReportString;
using testsupport::SetAnswer;
using testsupport::SetZeroAnswer;
using testsupport::StatePtr;
using testsupport::U16;

class ValueFormat : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(state, nullptr); }

  // Renders the answer with `render` into an empty report; returns the text
  // and stores the number of progress units it counted.
  template <class Fn>
  std::u16string Render(const std::vector<uint8_t>& answer, Fn render) {
    ResetReport(*state);
    SetAnswer(*state, answer);
    render(*state);
    counted = state->progressCount;
    return ReportString(*state);
  }

  StatePtr state = MakeState();
  int32_t counted = 0;
};

struct RendererRow {
  const char* name;
  void (*render)(DialogState&);
  std::vector<uint8_t> answer;
  std::u16string expected;
};

TEST_F(ValueFormat, each_scalar_renderer_follows_its_size_rule_and_format) {
  const RendererRow rows[] = {
      {"version 1.4", AppendVersion, Bytes().U8(0x04).U8(0x01), u"1.4"},
      {"version 1.10 is plain decimal", AppendVersion, Bytes().U16(0x010A), u"1.10"},
      {"version 255.0", AppendVersion, Bytes().U16(0xFF00), u"255.0"},
      {"version of 4 bytes", AppendVersion, Bytes().U32(0x0104), InvalidLength(2)},
      {"version of 1 byte", AppendVersion, Bytes().U8(1), InvalidLength(2)},
      {"version of nothing", AppendVersion, {}, u""},
      {"uint 3", AppendUint, Bytes().U32(3), u"3 [0x00000003]"},
      {"uint largest", AppendUint, Bytes().U32(0xFFFFFFFF), u"4294967295 [0xffffffff]"},
      {"uint is little-endian", AppendUint, Bytes().U8(0x78).U8(0x56).U8(0x34).U8(0x12), u"305419896 [0x12345678]"},
      {"uint of 2 bytes", AppendUint, Bytes().U16(3), InvalidLength(4)},
      {"uint of 8 bytes", AppendUint, Bytes().U32(3).U32(0), InvalidLength(4)},
      {"uint of nothing", AppendUint, {}, u""},
      {"byte 200", AppendByte, Bytes().U8(200), u"200 [0xc8]"},
      {"byte 5", AppendByte, Bytes().U8(5), u"5 [0x05]"},
      {"byte 0", AppendByte, Bytes().U8(0), u"0 [0x00]"},
      {"byte of 4 bytes", AppendByte, Bytes().U32(1), InvalidLength(1)},
      {"byte of nothing", AppendByte, {}, u""},
      {"bool 0x100 tests all bits", AppendBool, Bytes().U32(0x00000100), u"TRUE"},
      {"bool high bit", AppendBool, Bytes().U32(0x80000000), u"TRUE"},
      {"bool 1", AppendBool, Bytes().U32(1), u"TRUE"},
      {"bool 0", AppendBool, Bytes().U32(0), u"FALSE"},
      {"bool of 1 byte", AppendBool, Bytes().U8(1), InvalidLength(4)},
      {"bool of nothing", AppendBool, {}, u""},
      {"not displayed", AppendNotDisplayed, Bytes().Zeros(32), u"<display not impl>"},
      {"not displayed of 1 byte", AppendNotDisplayed, Bytes().U8(7), u"<display not impl>"},
      {"not displayed of nothing", AppendNotDisplayed, {}, u""},
      {"quoted text", AppendQuotedText, Bytes().Text(u"Pen Tablet").U16(0), u"\"Pen Tablet\""},
      {"quoted text without its zero unit", AppendQuotedText, Bytes().Text(u"abc"), u"\"abc\""},
      {"quoted text stops at the first zero", AppendQuotedText, Bytes().Text(u"ab").U16(0).Text(u"cd"), u"\"ab\""},
      {"quoted empty text", AppendQuotedText, Bytes().U16(0), u"\"\""},
      {"quoted text of nothing", AppendQuotedText, {}, u""},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const RendererRow& row = rows[i];
    const std::u16string text = Render(row.answer, row.render);
    EXPECT_EQ(Readable(text), Readable(row.expected)) << "row " << i << " (" << row.name << ")";
    EXPECT_EQ(counted, row.expected.empty() ? 0 : 1) << "row " << i << " (" << row.name << "): one Append per piece";
  }
}

TEST_F(ValueFormat, answer_size_rule_compares_for_equality_only) {
  struct Row {
    uint32_t size;
    uint32_t expected;
    bool accepted;
    const char* message;
  };
  const Row rows[] = {
      {0, 4, false, ""},
      {3, 4, false, "<invalid buffer length: expected 4>"},
      {4, 4, true, ""},
      {5, 4, false, "<invalid buffer length: expected 4>"},
      {212, 212, true, ""},
      {200, 212, false, "<invalid buffer length: expected 212>"},
      {131072, 16, false, "<invalid buffer length: expected 16>"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    ResetReport(*state);
    SetZeroAnswer(*state, rows[i].size);
    EXPECT_EQ(AnswerHasSize(*state, rows[i].expected), rows[i].accepted) << "row " << i;
    EXPECT_EQ(Readable(ReportString(*state)), rows[i].message) << "row " << i;
  }

  SetAnswer(*state, Bytes().U8(0x78).U8(0x56).U8(0x34).U8(0x12));
  EXPECT_EQ(AnswerUint32(*state), 0x12345678u);
}

TEST_F(ValueFormat, uint_array_has_its_own_size_rule) {
  struct Row {
    const char* name;
    uint32_t size;
    std::u16string expected;
    int32_t appends;
  };
  const Row rows[] = {
      {"nothing", 0, u"", 0},
      {"6 bytes", 6, u"<invalid buffer length: 6 (expected multiple of UINT)>", 1},
      {"1030 bytes: multiple-of-4 test first", 1030,
       u"<invalid buffer length: 1030 (expected multiple of UINT)>", 1},
      {"1028 bytes: 257 values", 1028, u"<invalid buffer length: 1028 (expected less than sizeof(UINT)*256)>", 1},
      {"2 values", 8, u"[  2] 0 1023", 3},
  };
  for (const Row& row : rows) {
    Bytes answer;
    if (row.size == 8) {
      answer.U32(0).U32(1023);
    } else {
      answer.Zeros(row.size);
    }
    const std::u16string text = Render(answer, AppendUintArray);
    EXPECT_EQ(Readable(text), Readable(row.expected)) << row.name;
    EXPECT_EQ(counted, row.appends) << row.name;
  }

  EXPECT_EQ(Readable(Render(Bytes().U32(7), AppendUintArray)), "[  1] 7");
  EXPECT_EQ(Readable(Render(Bytes().U32(4294967295u), AppendUintArray)), "[  1] 4294967295");

  // 256 values is the largest accepted array: [256] and every value.
  Bytes full;
  std::u16string expected = u"[256]";
  for (uint32_t v = 0; v < 256; ++v) {
    full.U32(v * 1000);
    expected += u" " + testsupport::Decimal(v * 1000);
  }
  EXPECT_EQ(Readable(Render(full, AppendUintArray)), Readable(expected));
  EXPECT_EQ(counted, 257) << "the count and one Append per value";
}

struct FlagRow {
  const char* name;
  const FlagSet* set;
  std::vector<FlagName> expected;
};

TEST(flag_sets, list_their_bits_and_names_in_test_order) {
  const FlagRow rows[] = {
      {"WTPKT",
       &kPacketDataFlags,
       {{0x0001, u"CONTEXT "},
        {0x0002, u"STATUS "},
        {0x0004, u"TIME "},
        {0x0008, u"CHANGED "},
        {0x0010, u"SERIAL_NUMBER "},
        {0x0020, u"CURSOR "},
        {0x0040, u"BUTTONS "},
        {0x0080, u"X "},
        {0x0100, u"Y "},
        {0x0200, u"Z "},
        {0x0400, u"NORMAL_PRESSURE "},
        {0x0800, u"TANGENT_PRESSURE "},
        {0x1000, u"ORIENTATION "},
        {0x2000, u"ROTATION "}}},
      {"DVC_HARDWARE",
       &kHardwareFlags,
       {{0x0001, u"INTEGRATED "}, {0x0002, u"TOUCH "}, {0x0004, u"HARDPROX "}, {0x0008, u"PHYSID_CURSORS "}}},
      {"CSR_CAPABILITIES", &kCapabilityFlags, {{0x0001, u"MULTIMODE "}, {0x0002, u"AGGREGATE "}, {0x0004, u"INVERT "}}},
      {"lcOptions",
       &kContextOptionFlags,
       {{0x0001, u"SYSTEM "},
        {0x0002, u"PEN "},
        {0x0004, u"MESSAGES "},
        {0x8000, u"MARGIN "},
        {0x4000, u"MGNINSIDE "},
        {0x0008, u"CSRMESSAGES "}}},
      {"lcStatus", &kContextStatusFlags, {{0x0001, u"DISABLED "}, {0x0002, u"OBSCURED "}, {0x0004, u"ONTOP "}}},
      {"lcLocks",
       &kContextLockFlags,
       {{0x0001, u"INSIZE "}, {0x0002, u"INASPECT "}, {0x0008, u"MARGIN "}, {0x0004, u"SENSITIVITY "}, {0x0010, u"SYSOUT "}}},
  };
  for (const FlagRow& row : rows) {
    ASSERT_EQ(row.set->count, row.expected.size()) << row.name;
    for (size_t k = 0; k < row.expected.size(); ++k) {
      EXPECT_EQ(row.set->flags[k].bit, row.expected[k].bit) << row.name << " entry " << k;
      EXPECT_EQ(Readable(row.set->flags[k].name), Readable(row.expected[k].name)) << row.name << " entry " << k;
    }
  }
}

TEST_F(ValueFormat, flag_sets_print_hexadecimal_and_the_names_of_set_bits) {
  struct Row {
    const char* name;
    const FlagSet* set;
    uint32_t value;
    const char16_t* expected;
  };
  const Row rows[] = {
      {"all fourteen packet bits", &kPacketDataFlags, 0x3FFF,
       u"0x00003fff [ CONTEXT STATUS TIME CHANGED SERIAL_NUMBER CURSOR BUTTONS X Y Z NORMAL_PRESSURE "
       u"TANGENT_PRESSURE ORIENTATION ROTATION ]"},
      {"unlisted packet bit", &kPacketDataFlags, 0x00004000, u"0x00004000 [ ]"},
      {"no bits", &kPacketDataFlags, 0, u"0x00000000 [ ]"},
      {"X and Y", &kPacketDataFlags, 0x0180, u"0x00000180 [ X Y ]"},
      {"capabilities 5", &kCapabilityFlags, 5, u"0x00000005 [ MULTIMODE INVERT ]"},
      {"hardware, unlisted high bits too", &kHardwareFlags, 0xFFFFFFFF,
       u"0xffffffff [ INTEGRATED TOUCH HARDPROX PHYSID_CURSORS ]"},
      {"options out of bit order", &kContextOptionFlags, 0xC00F,
       u"0x0000c00f [ SYSTEM PEN MESSAGES MARGIN MGNINSIDE CSRMESSAGES ]"},
      {"options 0x8004", &kContextOptionFlags, 0x8004, u"0x00008004 [ MESSAGES MARGIN ]"},
      {"status all", &kContextStatusFlags, 7, u"0x00000007 [ DISABLED OBSCURED ONTOP ]"},
      {"locks: MARGIN before SENSITIVITY", &kContextLockFlags, 0x0C, u"0x0000000c [ MARGIN SENSITIVITY ]"},
      {"locks all", &kContextLockFlags, 0x1F, u"0x0000001f [ INSIZE INASPECT MARGIN SENSITIVITY SYSOUT ]"},
  };
  for (const Row& row : rows) {
    ResetReport(*state);
    AppendFlagSet(*state, row.value, *row.set);
    EXPECT_EQ(Readable(ReportString(*state)), Readable(row.expected)) << row.name;
    EXPECT_EQ(state->progressCount, 1) << row.name;
  }

  ResetReport(*state);
  AppendPacketDataFlags(*state, 0x0480);
  EXPECT_EQ(Readable(ReportString(*state)), "0x00000480 [ X NORMAL_PRESSURE ]");
}

TEST(flag_text, is_cut_at_its_capacity_and_always_terminated) {
  constexpr char16_t kPoison = 0x3333;
  const std::u16string whole = u"[ CONTEXT STATUS ]";
  struct Row {
    size_t capacity;
    size_t length;
  };
  const Row rows[] = {{kFlagTextUnits, whole.size()}, {whole.size() + 1, whole.size()}, {whole.size(), whole.size() - 1},
                      {5, 4},                         {1, 0}};
  for (const Row& row : rows) {
    std::vector<char16_t> area(row.capacity + 4, kPoison);
    FormatFlagText(area.data(), row.capacity, 0x0003, kPacketDataFlags);
    EXPECT_EQ(Readable(std::u16string(area.data())), Readable(whole.substr(0, row.length))) << "capacity " << row.capacity;
    EXPECT_EQ(area[row.capacity], kPoison) << "capacity " << row.capacity;
  }

  // The longest text the sets produce, all fourteen packet names, is 120 units.
  std::vector<char16_t> area(kFlagTextUnits, kPoison);
  FormatFlagText(area.data(), area.size(), 0xFFFFFFFF, kPacketDataFlags);
  EXPECT_EQ(std::u16string(area.data()).size(), 120u);
}

TEST_F(ValueFormat, quoted_text_filling_the_whole_buffer_is_never_read_past_it) {
  // 131072 bytes of 'A' with no zero unit anywhere. The record puts a
  // no-access page right behind queryBuffer, so a read past it faults.
  std::memset(state->queryBuffer, 0, sizeof(state->queryBuffer));
  for (size_t i = 0; i < kQueryBufferBytes; i += 2) state->queryBuffer[i] = 'A';
  state->lastQuerySize = static_cast<uint32_t>(kQueryBufferBytes);
  ResetReport(*state);
  AppendQuotedText(*state);
  // One Append holds at most 1023 units: the quote and 1022 letters.
  EXPECT_EQ(Readable(ReportString(*state)), Readable(u"\"" + std::u16string(1022, u'A')));
  EXPECT_EQ(state->progressCount, 1);

  // The same text ending in a zero unit in the buffer's last two bytes.
  state->queryBuffer[kQueryBufferBytes - 2] = 0;
  ResetReport(*state);
  AppendQuotedText(*state);
  EXPECT_EQ(Readable(ReportString(*state)), Readable(u"\"" + std::u16string(1022, u'A')));
}

}  // namespace
