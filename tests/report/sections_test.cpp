#include "report/report_sections.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fake_wintab.h"
#include "test_support.h"

namespace {

using fakewintab::Behaviour;
using fakewintab::Step;
using testsupport::Bytes;
using testsupport::Decimal;
using testsupport::Echo;
using testsupport::InvalidLength;
using testsupport::MakeState;
using testsupport::Readable;
using testsupport::ReportString;
using testsupport::RowStart;
using testsupport::StatePtr;

struct SectionRow {
  uint32_t index;
  const char16_t* label;
};

const SectionRow kDeviceRows[] = {
    {1, u"DVC_NAME"},       {2, u"DVC_HARDWARE"},    {5, u"DVC_PKTRATE"},   {6, u"DVC_PKTDATA"},
    {8, u"DVC_CSRDATA"},    {12, u"DVC_X"},          {13, u"DVC_Y"},        {14, u"DVC_Z"},
    {15, u"DVC_NPRESSURE"}, {16, u"DVC_TPRESSURE"},  {17, u"DVC_ORIENTATION"}, {19, u"DVC_PNPID"},
};

const SectionRow kCursorRows[] = {
    {1, u"CSR_NAME"},        {2, u"CSR_ACTIVE"},      {3, u"CSR_PKTDATA"},     {4, u"CSR_BUTTONS"},
    {5, u"CSR_BUTTONBITS"},  {6, u"CSR_BTNNAMES"},    {7, u"CSR_BUTTONMAP"},   {8, u"CSR_SYSBTNMAP"},
    {9, u"CSR_NPBUTTON"},    {10, u"CSR_NPBTNMARKS"}, {11, u"CSR_NPRESPONSE"}, {12, u"CSR_TPBUTTON"},
    {13, u"CSR_TPBTNMARKS"}, {14, u"CSR_TPRESPONSE"}, {15, u"CSR_PHYSID"},     {16, u"CSR_MODE"},
    {17, u"CSR_MINPKTDATA"}, {18, u"CSR_MINBUTTONS"}, {19, u"CSR_CAPABILITIES"},
};

// A section as the rules lay it out: two CR LF, the heading, then one row
// per item; an item not in `rowTexts` was answered with no bytes and shows
// only its echo of 0.
template <size_t N>
std::u16string ExpectedSection(const std::u16string& heading, const SectionRow (&rows)[N],
                               const std::map<uint32_t, std::u16string>& rowTexts) {
  std::u16string out = u"\r\n\r\n" + heading;
  for (const SectionRow& row : rows) {
    const auto found = rowTexts.find(row.index);
    out += RowStart(row.label) + (found == rowTexts.end() ? Echo(0) : found->second);
  }
  return out;
}

std::u16string Answered(size_t bytes, const std::u16string& value) {
  return Echo(static_cast<uint32_t>(bytes)) + Echo(static_cast<uint32_t>(bytes)) + value;
}

class Sections : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(state, nullptr);
    fakewintab::Reset();
    state->infoEntry = &fakewintab::WTInfoW;
    state->safeMode = 1;
  }

  StatePtr state = MakeState();
};

TEST_F(Sections, an_unknown_device_gives_its_heading_and_twelve_bare_rows) {
  ReportDevice(*state, 0);
  EXPECT_EQ(Readable(ReportString(*state)), Readable(ExpectedSection(u"WTI_DEVICE+0", kDeviceRows, {})));
  ASSERT_EQ(fakewintab::CallCount(), std::size(kDeviceRows)) << "only size probes when nothing is answered";
  for (size_t i = 0; i < std::size(kDeviceRows); ++i) {
    EXPECT_EQ(fakewintab::CallAt(i).category, 100u) << "call " << i;
    EXPECT_EQ(fakewintab::CallAt(i).index, kDeviceRows[i].index) << "call " << i;
    EXPECT_FALSE(fakewintab::CallAt(i).withBuffer) << "call " << i;
  }
}

TEST_F(Sections, an_unknown_cursor_gives_its_heading_and_nineteen_bare_rows) {
  ReportCursor(*state, 0);
  EXPECT_EQ(Readable(ReportString(*state)), Readable(ExpectedSection(u"WTI_CURSOR+0", kCursorRows, {})));
  EXPECT_EQ(fakewintab::CallCount(), 19u);
}

// With every index of the category answered, only the section's indices are
// asked, each once with a probe and once with the buffer, in table order.
template <size_t N>
void ExpectAskedInOrder(const SectionRow (&rows)[N], uint32_t category, const std::string& context) {
  ASSERT_EQ(fakewintab::CallCount(), 2 * N) << context;
  for (size_t i = 0; i < N; ++i) {
    for (size_t k = 0; k < 2; ++k) {
      const fakewintab::Call& call = fakewintab::CallAt(2 * i + k);
      EXPECT_EQ(call.category, category) << context << ", call " << 2 * i + k;
      EXPECT_EQ(call.index, rows[i].index) << context << ", call " << 2 * i + k;
      EXPECT_EQ(call.withBuffer, k == 1) << context << ", call " << 2 * i + k;
    }
  }
}

TEST_F(Sections, ask_their_indices_in_order_and_never_the_others) {
  struct Row {
    bool device;
    uint32_t number;
    uint32_t category;
    const char16_t* heading;
  };
  const Row rows[] = {
      {true, 0, 100, u"WTI_DEVICE+0"},
      {true, 3, 103, u"WTI_DEVICE+3"},
      {true, 0xFFFFFFFF, 99, u"WTI_DEVICE+4294967295"},  // 100 + n wraps in 32 bits
      {false, 0, 200, u"WTI_CURSOR+0"},
      {false, 5, 205, u"WTI_CURSOR+5"},
      {false, 0xFFFFFFFF, 199, u"WTI_CURSOR+4294967295"},
  };
  for (const Row& row : rows) {
    const std::string context = Readable(row.heading);
    fakewintab::Reset();
    for (uint32_t index = 0; index <= 40; ++index) fakewintab::AddAnswer(row.category, index, Bytes().Zeros(2));
    ResetReport(*state);
    if (row.device) {
      ReportDevice(*state, row.number);
      ExpectAskedInOrder(kDeviceRows, row.category, context);
    } else {
      ReportCursor(*state, row.number);
      ExpectAskedInOrder(kCursorRows, row.category, context);
    }
    const std::u16string text = ReportString(*state);
    EXPECT_EQ(Readable(text.substr(0, 4 + std::u16string(row.heading).size())),
              Readable(u"\r\n\r\n" + std::u16string(row.heading)))
        << context;
  }
}

struct RuleRow {
  uint32_t index;
  std::vector<uint8_t> answer;
  std::u16string value;  // what follows the two echoes
};

template <size_t N>
void CheckRules(DialogState& state, bool device, const SectionRow (&rows)[N], const std::vector<RuleRow>& rules) {
  const uint32_t category = device ? 100 : 200;
  for (size_t i = 0; i < rules.size(); ++i) {
    const RuleRow& rule = rules[i];
    fakewintab::Reset();
    fakewintab::AddAnswer(category, rule.index, rule.answer);
    ResetReport(state);
    if (device) {
      ReportDevice(state, 0);
    } else {
      ReportCursor(state, 0);
    }
    const std::u16string expected = ExpectedSection(device ? u"WTI_DEVICE+0" : u"WTI_CURSOR+0", rows,
                                                    {{rule.index, Answered(rule.answer.size(), rule.value)}});
    EXPECT_EQ(Readable(ReportString(state)), Readable(expected))
        << (device ? "device" : "cursor") << " rule " << i << ", index " << rule.index;
  }
}

TEST_F(Sections, each_device_row_follows_its_size_rule) {
  const std::vector<RuleRow> rules = {
      {1, Bytes().Text(u"Stylus").U16(0), u"\"Stylus\""},
      {1, Bytes().U16(0), u"\"\""},
      {2, Bytes().U32(0x5), u"0x00000005 [ INTEGRATED HARDPROX ]"},
      {2, Bytes().U16(0x5), InvalidLength(4)},
      {5, Bytes().U32(200), u"200 [0x000000c8]"},
      {5, Bytes().U8(200), InvalidLength(4)},
      {6, Bytes().U32(0), u"0x00000000 [ ]"},
      {6, Bytes().U32(0x0380), u"0x00000380 [ X Y Z ]"},
      {6, Bytes().U32(0x0380).U32(0), InvalidLength(4)},
      {8, Bytes().U32(0x0020), u"0x00000020 [ CURSOR ]"},
      {8, Bytes().U16(1), InvalidLength(4)},
      {12, Bytes().I32(0).I32(15200).U32(2).U32(0x03E80000),
       u"{min=0;max=15200;units=2 [CENTIMETERS];res=0x3e80000 [1000.0]}"},
      {13, Bytes().Zeros(32), InvalidLength(16)},
      {14, Bytes().I32(-100).I32(100).U32(4).U32(0), u"{min=-100;max=100;units=4 [???];res=0x000000 [0.0]}"},
      {15, Bytes().I32(0).I32(1023).U32(0).U32(0), u"{min=0;max=1023;units=0 [NONE];res=0x000000 [0.0]}"},
      {16, Bytes().Zeros(15), InvalidLength(16)},
      {17, Bytes().Zeros(16), InvalidLength(48)},
      {17, Bytes().Zeros(64), InvalidLength(48)},
      {19, Bytes().Text(u"WACF004").U16(0), u"\"WACF004\""},
  };
  CheckRules(*state, true, kDeviceRows, rules);
}

TEST_F(Sections, each_cursor_row_follows_its_size_rule) {
  const std::vector<RuleRow> rules = {
      {1, Bytes().Text(u"Pressure Stylus").U16(0), u"\"Pressure Stylus\""},
      {2, Bytes().U32(1), u"TRUE"},
      {2, Bytes().U32(0), u"FALSE"},
      {2, Bytes().U8(1), InvalidLength(4)},
      {3, Bytes().U32(0x0003), u"0x00000003 [ CONTEXT STATUS ]"},
      {3, Bytes().U8(3), InvalidLength(4)},
      {4, Bytes().U8(3), u"3 [0x03]"},
      {4, Bytes().U32(3), InvalidLength(1)},
      {5, Bytes().U8(200), u"200 [0xc8]"},
      {6, Bytes().Text(u"Tip").U16(0).Text(u"Barrel").U16(0).U16(0), u"<display not impl>"},
      {7, Bytes().Zeros(32), u"<display not impl>"},
      {8, Bytes().Zeros(32), u"<display not impl>"},
      {9, Bytes().U8(0), u"0 [0x00]"},
      {10, Bytes().Zeros(8), u"<display not impl>"},
      {11, Bytes().U32(0).U32(1023), u"[  2] 0 1023"},
      {11, Bytes().Zeros(6), u"<invalid buffer length: 6 (expected multiple of UINT)>"},
      {12, Bytes().U8(1), u"1 [0x01]"},
      {13, Bytes().Zeros(4), u"<display not impl>"},
      {14, Bytes().U32(7), u"[  1] 7"},
      {14, Bytes().Zeros(1028), u"<invalid buffer length: 1028 (expected less than sizeof(UINT)*256)>"},
      {15, Bytes().U32(0x12345678), u"305419896 [0x12345678]"},
      {16, Bytes().U32(2), u"2 [0x00000002]"},
      {17, Bytes().U32(0x0180), u"384 [0x00000180]"},  // a number here, not a flag set
      {18, Bytes().U8(1), InvalidLength(4)},
      {19, Bytes().U32(0), u"0x00000000 [ ]"},
      {19, Bytes().U32(7), u"0x00000007 [ MULTIMODE AGGREGATE INVERT ]"},
      {19, Bytes().Zeros(2), InvalidLength(4)},
  };
  CheckRules(*state, false, kCursorRows, rules);
}

TEST_F(Sections, orientation_takes_five_lines) {
  fakewintab::AddAnswer(100, 17,
                        Bytes()
                            .I32(0).I32(3600).U32(3).U32(0x0E100000)
                            .I32(-1000).I32(1000).U32(3).U32(0x03E80000)
                            .I32(0).I32(3600).U32(3).U32(0x0E100000));
  ReportDevice(*state, 0);
  const std::u16string block = Echo(48) + Echo(48) + u"{" +
                               u"\r\n  {min=0;max=3600;units=3 [CIRCLE];res=0xe100000 [3600.0]}" +
                               u"\r\n  {min=-1000;max=1000;units=3 [CIRCLE];res=0x3e80000 [1000.0]}" +
                               u"\r\n  {min=0;max=3600;units=3 [CIRCLE];res=0xe100000 [3600.0]}" + u"\r\n}";
  EXPECT_EQ(Readable(ReportString(*state)), Readable(ExpectedSection(u"WTI_DEVICE+0", kDeviceRows, {{17, block}})));
  // Two line breaks and the heading, a label and echoes per row, and the
  // block: "{", three records, four line breaks, "}".
  const int32_t echoes = 11 + 2;
  EXPECT_EQ(state->progressCount, 3 + 12 + echoes + 9);
}

TEST_F(Sections, a_fault_in_one_row_leaves_the_next_rows_untouched) {
  fakewintab::AddItem(200, 2, Behaviour{Step::Answer, 4}, Behaviour{Step::Fault, 0});
  fakewintab::AddAnswer(200, 3, Bytes().U32(0x0080));
  ReportCursor(*state, 0);
  EXPECT_EQ(Readable(ReportString(*state)),
            Readable(ExpectedSection(u"WTI_CURSOR+0", kCursorRows,
                                     {{2, Echo(4) + u"<exception>"}, {3, Answered(4, u"0x00000080 [ X ]")}})));
}

}  // namespace
