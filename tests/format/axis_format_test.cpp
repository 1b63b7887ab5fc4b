#include "format/axis_format.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

using testsupport::Bytes;
using testsupport::InvalidLength;
using testsupport::MakeState;
using testsupport::Readable;
using testsupport::ReportString;
using testsupport::SetAnswer;
using testsupport::StatePtr;
using wintab::AXIS;

class AxisFormat : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(state, nullptr); }

  std::u16string Record(const AXIS& record, bool indented) {
    ResetReport(*state);
    AppendAxisRecord(*state, record, indented);
    return ReportString(*state);
  }

  StatePtr state = MakeState();
};

struct RecordRow {
  const char* name;
  AXIS record;
  const char16_t* expected;
};

TEST_F(AxisFormat, renders_a_record_as_one_braced_piece) {
  const RecordRow rows[] = {
      {"tablet width", {0, 15200, 2, 0x03E80000}, u"{min=0;max=15200;units=2 [CENTIMETERS];res=0x3e80000 [1000.0]}"},
      {"orientation", {0, 3600, 3, 0x0E100000}, u"{min=0;max=3600;units=3 [CIRCLE];res=0xe100000 [3600.0]}"},
      {"signed range", {-1000, 1000, 3, 0x03E80000}, u"{min=-1000;max=1000;units=3 [CIRCLE];res=0x3e80000 [1000.0]}"},
      {"no units", {0, 1023, 0, 0}, u"{min=0;max=1023;units=0 [NONE];res=0x000000 [0.0]}"},
      {"inches", {0, 100, 1, 0x00010000}, u"{min=0;max=100;units=1 [INCHES];res=0x010000 [1.0]}"},
      {"unknown units", {-100, 0, 4, 0x00008000}, u"{min=-100;max=0;units=4 [???];res=0x008000 [0.5]}"},
      {"largest units", {0, 0, 0xFFFFFFFF, 0xFFFFFFFF},
       u"{min=0;max=0;units=4294967295 [???];res=0xffffffff [65535.9999847412109375]}"},
      {"extreme range", {INT32_MIN, INT32_MAX, 2, 0x00000001},
       u"{min=-2147483648;max=2147483647;units=2 [CENTIMETERS];res=0x000001 [0.0000152587890625]}"},
  };
  for (const RecordRow& row : rows) {
    EXPECT_EQ(Readable(Record(row.record, false)), Readable(row.expected)) << row.name;
    EXPECT_EQ(state->progressCount, 1) << row.name << ": one Append";
    EXPECT_EQ(Readable(Record(row.record, true)), Readable(std::u16string(u"  ") + row.expected))
        << row.name << " (indented)";
    EXPECT_EQ(state->progressCount, 1) << row.name << " (indented): one Append";
  }
}

TEST_F(AxisFormat, axis_answer_takes_exactly_sixteen_bytes) {
  const Bytes record = Bytes().I32(-5).I32(5).U32(1).U32(0x00020000);
  const std::u16string decoded = u"{min=-5;max=5;units=1 [INCHES];res=0x020000 [2.0]}";
  struct Row {
    const char* name;
    std::vector<uint8_t> answer;
    std::u16string expected;
  };
  Bytes twice = record;
  twice.I32(-5).I32(5).U32(1).U32(0x00020000);
  Bytes fifteen;
  fifteen.Zeros(15);
  const Row rows[] = {
      {"16 bytes", record, decoded},
      {"nothing", {}, u""},
      {"15 bytes", fifteen, InvalidLength(16)},
      {"32 bytes", twice, InvalidLength(16)},
  };
  for (const Row& row : rows) {
    ResetReport(*state);
    SetAnswer(*state, row.answer);
    AppendAxis(*state);
    EXPECT_EQ(Readable(ReportString(*state)), Readable(row.expected)) << row.name;
    EXPECT_EQ(state->progressCount, row.expected.empty() ? 0 : 1) << row.name;
  }
}

}  // namespace
