#include "format/context_format.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace {

using testsupport::Bytes;
using testsupport::InvalidLength;
using testsupport::LeftAligned;
using testsupport::MakeState;
using testsupport::Readable;
using testsupport::ReportString;
using testsupport::SetAnswer;
using testsupport::StatePtr;

struct Field {
  const char16_t* name;
  uint32_t raw;             // the 32-bit field as stored
  const char16_t* printed;  // its value as the dump prints it
};

// Every field after lcName, in record order, with a value chosen to show
// its rendering rule.
const Field kFields[] = {
    {u"lcOptions", 0x8004, u"0x00008004 [ MESSAGES MARGIN ]"},
    {u"lcStatus", 0x0001, u"0x00000001 [ DISABLED ]"},
    {u"lcLocks", 0x000C, u"0x0000000c [ MARGIN SENSITIVITY ]"},
    {u"lcMsgBase", 0x7FF0, u"32752"},
    {u"lcDevice", 3, u"3"},
    {u"lcPktRate", 0xFFFFFFFF, u"4294967295"},
    {u"lcPktData", 0x0180, u"0x00000180 [ X Y ]"},
    {u"lcPktMode", 0, u"0x00000000 [ ]"},
    {u"lcMoveMask", 0x0480, u"0x00000480 [ X NORMAL_PRESSURE ]"},
    {u"lcBtnDnMask", 1, u"0x00000001"},
    {u"lcBtnUpMask", 0xFFFFFFFE, u"0xfffffffe"},
    {u"lcInOrgX", 0xFFFFFFFF, u"-1"},
    {u"lcInOrgY", 0, u"0"},
    {u"lcInOrgZ", 7, u"7"},
    {u"lcInExtX", 15200, u"15200"},
    {u"lcInExtY", 9500, u"9500"},
    {u"lcInExtZ", 0x80000000, u"-2147483648"},
    {u"lcOutOrgX", 0, u"0"},
    {u"lcOutOrgY", 10, u"10"},
    {u"lcOutOrgZ", 0x7FFFFFFF, u"2147483647"},
    {u"lcOutExtX", 15200, u"15200"},
    {u"lcOutExtY", static_cast<uint32_t>(-9500), u"-9500"},
    {u"lcOutExtZ", 1, u"1"},
    {u"lcSensX", 0x00010000, u"0x010000 [1.0]"},
    {u"lcSensY", 0x00008000, u"0x008000 [0.5]"},
    {u"lcSensZ", 0, u"0x000000 [0.0]"},
    {u"lcSysMode", 2, u"TRUE"},
    {u"lcSysOrgX", static_cast<uint32_t>(-1920), u"-1920"},
    {u"lcSysOrgY", 0, u"0"},
    {u"lcSysExtX", 3840, u"3840"},
    {u"lcSysExtY", 1080, u"1080"},
    {u"lcSysSensX", 0x03E80000, u"0x3e80000 [1000.0]"},
    {u"lcSysSensY", 0xFFFFFFFF, u"0xffffffff [65535.9999847412109375]"},
};
static_assert(std::size(kFields) == 33);

Bytes ContextBytes(const std::u16string& name, bool terminated = true) {
  Bytes bytes;
  bytes.Text(name);
  if (terminated || name.size() < wintab::kContextNameUnits) bytes.Zeros(2 * (wintab::kContextNameUnits - name.size()));
  for (const Field& field : kFields) bytes.U32(field.raw);
  return bytes;
}

// "{", then each field on its own line ("\r\n  " and the name in 13
// columns and a blank), then one line break; no closing brace.
std::u16string ExpectedDump(const std::u16string& printedName) {
  std::u16string out = u"{";
  out += u"\r\n  " + LeftAligned(u"lcName", 13) + u" " + printedName;
  for (const Field& field : kFields) out += u"\r\n  " + LeftAligned(field.name, 13) + u" " + field.printed;
  return out + u"\r\n";
}

class ContextFormat : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(state, nullptr); }
  StatePtr state = MakeState();
};

TEST_F(ContextFormat, dumps_a_full_record_field_by_field) {
  const Bytes record = ContextBytes(u"Default Digitizing");
  ASSERT_EQ(record.size(), 212u);
  SetAnswer(*state, record);
  uint32_t contextDevice = 0xDEADBEEF;
  AppendContext(*state, &contextDevice);

  const std::u16string text = ReportString(*state);
  EXPECT_EQ(Readable(text), Readable(ExpectedDump(u"\"Default Digitizing\"")));
  EXPECT_EQ(contextDevice, 3u) << "lcDevice is handed back";
  // "{", a label and a value per field, the final line break.
  EXPECT_EQ(state->progressCount, 1 + 2 * 34 + 1);

  size_t lineBreaks = 0;
  for (size_t at = text.find(u"\r\n"); at != std::u16string::npos; at = text.find(u"\r\n", at + 2)) ++lineBreaks;
  EXPECT_EQ(lineBreaks, 35u) << "34 labelled lines and the closing line break";
  EXPECT_EQ(text.find(u'}'), std::u16string::npos) << "no closing brace";
}

TEST_F(ContextFormat, without_a_device_out_the_dump_is_the_same) {
  SetAnswer(*state, ContextBytes(u"Default Digitizing"));
  AppendContext(*state, nullptr);
  EXPECT_EQ(Readable(ReportString(*state)), Readable(ExpectedDump(u"\"Default Digitizing\"")));
}

TEST_F(ContextFormat, empty_name_prints_two_quotes) {
  SetAnswer(*state, ContextBytes(u""));
  AppendContext(*state, nullptr);
  EXPECT_EQ(Readable(ReportString(*state)), Readable(ExpectedDump(u"\"\"")));
}

#if defined(_MSC_VER)
#define PADSCOPE_NOINLINE __declspec(noinline)
#else
#define PADSCOPE_NOINLINE __attribute__((noinline))
#endif

// Leaves a nonzero pattern in the stack below the caller, where the work
// areas of the caller's next call will lie: a name copied without its
// terminator then runs on into the pattern instead of a lucky zero.
PADSCOPE_NOINLINE void FillStackBelow() {
  volatile char16_t area[32 * 1024];
  for (size_t i = 0; i < std::size(area); ++i) area[i] = u'#';
}

TEST_F(ContextFormat, a_name_filling_all_forty_units_stops_at_the_field_end) {
  // No zero unit in lcName, and the first unit of lcOptions (0x8004) is not
  // zero, so a name that ran on would pick up the following field as text.
  const std::u16string name(wintab::kContextNameUnits, u'N');
  SetAnswer(*state, ContextBytes(name, false));
  ASSERT_EQ(state->lastQuerySize, 212u);
  uint32_t contextDevice = 0;
  FillStackBelow();
  AppendContext(*state, &contextDevice);
  EXPECT_EQ(Readable(ReportString(*state)), Readable(ExpectedDump(u"\"" + name + u"\"")));
  EXPECT_EQ(contextDevice, 3u);
}

TEST_F(ContextFormat, any_other_size_gives_only_the_message_and_device_zero) {
  struct Row {
    const char* name;
    size_t size;
    std::u16string expected;
  };
  const Row rows[] = {
      {"212 bytes", 212, u""},  // checked separately above; here only the device out
      {"200 bytes", 200, InvalidLength(212)},
      {"213 bytes", 213, InvalidLength(212)},
      {"nothing", 0, u""},
  };
  for (const Row& row : rows) {
    Bytes answer = ContextBytes(u"ctx");
    std::vector<uint8_t> bytes = answer.Get();
    bytes.resize(row.size, 0x41);
    ResetReport(*state);
    SetAnswer(*state, bytes);
    uint32_t contextDevice = 0xDEADBEEF;
    AppendContext(*state, &contextDevice);
    if (row.size == 212) {
      EXPECT_EQ(contextDevice, 3u) << row.name;
      continue;
    }
    EXPECT_EQ(Readable(ReportString(*state)), Readable(row.expected)) << row.name;
    EXPECT_EQ(contextDevice, 0u) << row.name;
    EXPECT_EQ(state->progressCount, row.expected.empty() ? 0 : 1) << row.name << ": no brace, no line break";
  }
}

}  // namespace
