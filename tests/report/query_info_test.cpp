#include "report/query_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "fake_wintab.h"
#include "test_support.h"

namespace {

using fakewintab::Behaviour;
using fakewintab::Step;
using testsupport::Bytes;
using testsupport::Echo;
using testsupport::MakeState;
using testsupport::Readable;
using testsupport::ReportString;
using testsupport::StatePtr;

constexpr uint32_t kCategory = 101;
constexpr uint32_t kIndex = 7;

class QueryInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(state, nullptr);
    fakewintab::Reset();
    state->infoEntry = &fakewintab::WTInfoW;
  }

  void Configure(bool safeMode, bool noNullBuffer) {
    ResetReport(*state);
    state->safeMode = safeMode ? 1 : 0;
    state->noNullBuffer = noNullBuffer ? 1 : 0;
  }

  // The calls the library saw, as "p" (size probe) and "r" (real call),
  // each checked to be for kCategory/kIndex.
  std::string CallPattern() {
    std::string pattern;
    for (size_t i = 0; i < fakewintab::CallCount(); ++i) {
      const fakewintab::Call& call = fakewintab::CallAt(i);
      if (call.category != kCategory || call.index != kIndex) return "wrong item asked";
      pattern += call.withBuffer ? 'r' : 'p';
    }
    return pattern;
  }

  StatePtr state = MakeState();
};

struct QueryRow {
  const char* name;
  bool safeModeOnly;  // the library faults: only a guarded query survives
  bool noNullBuffer;
  Behaviour probe;
  Behaviour real;
  std::u16string text;
  uint32_t lastQuerySize;
  const char* calls;
};

Behaviour Answers(uint32_t count) { return Behaviour{Step::Answer, count}; }
const Behaviour kFaults{Step::Fault, 0};
const Behaviour kThrows{Step::Throw, 0};

TEST_F(QueryInfoTest, echoes_each_count_and_keeps_the_real_calls_answer) {
  const QueryRow rows[] = {
      {"4 and 4", false, false, Answers(4), Answers(4), Echo(4) + Echo(4), 4, "pr"},
      {"probe 0 skips the real call", false, false, Answers(0), Answers(4), Echo(0), 0, "p"},
      {"212 then 208: the real count stays", false, false, Answers(212), Answers(208), u"{212} {208} ", 208, "pr"},
      {"wider counts are written whole", false, false, Answers(1500), Answers(1500), u"{1500} {1500} ", 1500, "pr"},
      {"16 then 0", false, false, Answers(16), Answers(0), u"{ 16} {  0} ", 0, "pr"},
      {"no null buffer: 48", false, true, Answers(999), Answers(48), u"{ 48} ", 48, "r"},
      {"no null buffer: 0", false, true, Answers(999), Answers(0), u"{  0} ", 0, "r"},
      {"size probe faults", true, false, kFaults, Answers(4), u"<exception>", 0, "p"},
      {"real call faults after 40", true, false, Answers(40), kFaults, u"{ 40} <exception>", 0, "pr"},
      {"no null buffer: real call faults", true, true, Answers(4), kFaults, u"<exception>", 0, "r"},
      {"size probe raises an exception", true, false, kThrows, Answers(4), u"<exception>", 0, "p"},
      {"real call raises an exception after 12", true, false, Answers(12), kThrows, u"{ 12} <exception>", 0, "pr"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const QueryRow& row = rows[i];
    for (bool safeMode : {true, false}) {
      if (row.safeModeOnly && !safeMode) continue;
      const std::string context = std::string("row ") + std::to_string(i) + " (" + row.name + ")" +
                                  (safeMode ? " in Safe Mode" : " unguarded");
      fakewintab::Reset();
      fakewintab::AddItem(kCategory, kIndex, row.probe, row.real, Bytes().Zeros(row.real.count));
      Configure(safeMode, row.noNullBuffer);
      state->lastQuerySize = 12345;
      QueryInfo(*state, kCategory, kIndex);
      EXPECT_EQ(Readable(ReportString(*state)), Readable(row.text)) << context;
      EXPECT_EQ(state->lastQuerySize, row.lastQuerySize) << context;
      EXPECT_EQ(CallPattern(), row.calls) << context;
    }
  }
}

TEST_F(QueryInfoTest, clears_the_whole_buffer_before_every_query) {
  for (bool probeAnswers : {true, false}) {
    fakewintab::Reset();
    fakewintab::AddAnswer(kCategory, kIndex, probeAnswers ? Bytes().U32(0x01020304) : Bytes());
    Configure(false, false);
    std::memset(state->queryBuffer, 0xAB, sizeof(state->queryBuffer));
    QueryInfo(*state, kCategory, kIndex);
    const size_t answered = probeAnswers ? 4 : 0;
    if (probeAnswers) {
      EXPECT_EQ(state->queryBuffer[0], 0x04);
    }
    const uint8_t* rest = state->queryBuffer + answered;
    const size_t restSize = sizeof(state->queryBuffer) - answered;
    EXPECT_EQ(std::count(rest, rest + restSize, 0), static_cast<ptrdiff_t>(restSize))
        << (probeAnswers ? "after an answer" : "after a probe of 0") << ": no earlier answer may remain";
  }
}

TEST_F(QueryInfoTest, a_fault_costs_only_its_own_query) {
  fakewintab::AddItem(kCategory, kIndex, Answers(8), kFaults);
  fakewintab::AddAnswer(kCategory, kIndex + 1, Bytes().U32(1).U32(2));
  Configure(true, false);
  QueryInfo(*state, kCategory, kIndex);
  EXPECT_EQ(state->lastQuerySize, 0u);
  QueryInfo(*state, kCategory, kIndex + 1);
  EXPECT_EQ(Readable(ReportString(*state)), Readable(Echo(8) + u"<exception>" + Echo(8) + Echo(8)));
  EXPECT_EQ(state->lastQuerySize, 8u);
  EXPECT_EQ(state->queryBuffer[4], 2);

  // The same fault again: nothing is remembered between calls.
  ResetReport(*state);
  QueryInfo(*state, kCategory, kIndex);
  EXPECT_EQ(Readable(ReportString(*state)), Readable(Echo(8) + u"<exception>"));
}

TEST_F(QueryInfoTest, a_library_writing_past_the_buffer_faults_instead_of_corrupting) {
  // The real call writes 64 bytes more than queryBuffer holds; the page
  // behind the record's buffer takes no writes.
  fakewintab::AddItem(kCategory, kIndex, Answers(100), Behaviour{Step::Overrun, kQueryBufferBytes + 64});
  Configure(true, false);
  QueryInfo(*state, kCategory, kIndex);
  EXPECT_EQ(Readable(ReportString(*state)), Readable(Echo(100) + u"<exception>"));
  EXPECT_EQ(state->lastQuerySize, 0u);
}

TEST_F(QueryInfoTest, a_size_probe_above_the_buffer_skips_the_real_call) {
  struct Row {
    uint32_t probe;
    bool realCallMade;
  };
  const Row rows[] = {{static_cast<uint32_t>(kQueryBufferBytes), true},
                      {static_cast<uint32_t>(kQueryBufferBytes) + 1, false},
                      {0xFFFFFFFF, false}};
  for (const Row& row : rows) {
    for (bool safeMode : {true, false}) {
      const std::string context = "probe " + std::to_string(row.probe) + (safeMode ? " in Safe Mode" : " unguarded");
      fakewintab::Reset();
      fakewintab::AddItem(kCategory, kIndex, Answers(row.probe), Answers(row.probe));
      Configure(safeMode, false);
      QueryInfo(*state, kCategory, kIndex);
      const std::u16string text = ReportString(*state);
      if (row.realCallMade) {
        EXPECT_EQ(CallPattern(), "pr") << context;
        EXPECT_EQ(Readable(text), Readable(Echo(row.probe) + Echo(row.probe))) << context;
        EXPECT_EQ(state->lastQuerySize, row.probe) << context;
      } else {
        EXPECT_EQ(CallPattern(), "p") << context;
        EXPECT_EQ(Readable(text), Readable(Echo(row.probe) + kAnswerTooLargeFormat)) << context;
        EXPECT_EQ(state->lastQuerySize, 0u) << context << ": no answer was read, so none may be decoded";
      }
    }
  }
}

TEST_F(QueryInfoTest, probe_interface_asks_the_availability_question_once) {
  for (bool safeMode : {true, false}) {
    for (bool noNullBuffer : {true, false}) {
      const std::string context = std::string(safeMode ? "safe" : "unguarded") + (noNullBuffer ? ", no null buffer" : "");
      fakewintab::Reset();
      fakewintab::AddItem(0, 0, Answers(40), Answers(77));
      Configure(safeMode, noNullBuffer);
      std::memset(state->queryBuffer, 0xCD, 16);
      state->lastQuerySize = 12345;
      ProbeInterface(*state);
      EXPECT_EQ(Readable(ReportString(*state)), Readable(Echo(40))) << context;
      EXPECT_EQ(state->lastQuerySize, 40u) << context;
      ASSERT_EQ(fakewintab::CallCount(), 1u) << context;
      EXPECT_EQ(fakewintab::CallAt(0).category, 0u) << context;
      EXPECT_EQ(fakewintab::CallAt(0).index, 0u) << context;
      EXPECT_FALSE(fakewintab::CallAt(0).withBuffer) << context;
      EXPECT_EQ(state->queryBuffer[15], 0xCD) << context << ": the probe leaves queryBuffer alone";
    }
  }

  fakewintab::Reset();
  fakewintab::AddItem(0, 0, kFaults, kFaults);
  Configure(true, false);
  state->lastQuerySize = 12345;
  ProbeInterface(*state);
  EXPECT_EQ(Readable(ReportString(*state)), "<exception>");
  EXPECT_EQ(state->lastQuerySize, 0u);
  EXPECT_EQ(state->progressCount, 1);
}

// A log attached without room keeps nothing, and says so: each step it could
// not keep counts as lost, each answer it could not keep as bytes lost.
TEST_F(QueryInfoTest, an_answer_log_without_storage_keeps_nothing) {
  struct Row {
    const char* name;
    bool entries;   // given, or null; the bytes are always null
    uint32_t kept;  // steps the log holds afterwards
    uint32_t lost;  // steps counted as lost
  };
  const Row rows[] = {
      {"no storage at all", false, 0, 2},
      {"steps but no bytes", true, 2, 0},
  };
  for (const Row& row : rows) {
    AnswerLogEntry entries[4];
    AnswerLog log{};
    // The capacities given are ignored when the storage is missing.
    AttachAnswerLogStorage(log, row.entries ? entries : nullptr, 4, nullptr, 4096);
    fakewintab::Reset();
    fakewintab::AddAnswer(kCategory, kIndex, Bytes().U32(0x01020304));
    Configure(true, false);
    state->answerLog = &log;
    QueryInfo(*state, kCategory, kIndex);
    QueryInfo(*state, kCategory, kIndex);
    state->answerLog = nullptr;
    EXPECT_EQ(Readable(ReportString(*state)), Readable(Echo(4) + Echo(4) + Echo(4) + Echo(4))) << row.name;
    EXPECT_EQ(log.entryCount, row.kept) << row.name;
    EXPECT_EQ(log.entriesLost, row.lost) << row.name;
    EXPECT_EQ(log.bytesUsed, 0u) << row.name;
    for (uint32_t i = 0; i < log.entryCount; ++i) {
      EXPECT_TRUE(log.entries[i].bytesLost) << row.name << ": step " << i;
      EXPECT_EQ(AnswerBytes(log, log.entries[i]), nullptr) << row.name << ": step " << i;
    }
    EXPECT_FALSE(AnswerLogIsComplete(log)) << row.name;
  }
}

}  // namespace
