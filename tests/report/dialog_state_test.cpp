#include "report/dialog_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "test_support.h"

namespace {

using testsupport::LeftAligned;
using testsupport::MakeState;
using testsupport::Readable;
using testsupport::ReportString;
using testsupport::StatePtr;
using testsupport::WrittenUnits;

constexpr char16_t kPoison = 0x1111;

class DialogStateTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(state, nullptr); }

  // Poisons the units from writePosition on, so that a test can tell which
  // units a write touched.
  void PoisonAhead(size_t units) {
    const size_t room = kReportTextUnits - WrittenUnits(*state);
    std::fill_n(state->writePosition, std::min(units, room), kPoison);
  }

  StatePtr state = MakeState();
};

TEST(dialog_state, new_record_stores_the_dialog_and_no_worker) {
  int dialogStandIn = 0;
  DialogState* state = NewDialogState(&dialogStandIn);
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->dialog, &dialogStandIn);
  EXPECT_EQ(state->workerThread, nullptr);
  DeleteDialogState(state);
}

TEST_F(DialogStateTest, reset_starts_an_empty_terminated_report) {
  Append(*state, u"text");
  NewLine(*state);
  state->lastSeenProgress = 5;
  ResetReport(*state);
  EXPECT_EQ(state->progressCount, 0);
  EXPECT_EQ(state->lastSeenProgress, 0);
  EXPECT_EQ(state->writePosition, state->ReportText);
  EXPECT_EQ(state->ReportText[0], 0);
  EXPECT_EQ(ReportLength(*state), 0u);
  EXPECT_FALSE(ReportIsFull(*state));
}

TEST_F(DialogStateTest, append_writes_one_terminated_piece_and_counts_one) {
  struct Row {
    const char* name;
    std::u16string argument;
    size_t stored;
  };
  const Row rows[] = {
      {"empty piece", u"", 0},
      {"short piece", u"abc", 3},
      {"1022 units", std::u16string(1022, u'x'), 1022},
      {"exactly 1023 units", std::u16string(1023, u'y'), 1023},
      {"1024 units are cut", std::u16string(1024, u'z'), 1023},
      {"2000 units are cut", std::u16string(2000, u'w'), 1023},
  };
  for (const Row& row : rows) {
    ResetReport(*state);
    Append(*state, u"head");
    const size_t before = WrittenUnits(*state);
    PoisonAhead(1100);
    const char16_t* argument = row.argument.c_str();
    Append(*state, u"%s", argument);
    EXPECT_EQ(state->progressCount, 2) << row.name;
    EXPECT_EQ(WrittenUnits(*state), before + row.stored) << row.name;
    EXPECT_EQ(ReportString(*state), u"head" + row.argument.substr(0, row.stored)) << row.name;
    EXPECT_EQ(*state->writePosition, 0) << row.name << ": the terminator stays at writePosition";
    EXPECT_EQ(state->writePosition[1], kPoison) << row.name << ": nothing written past the terminator";
    EXPECT_EQ(ReportLength(*state), before + row.stored) << row.name;
  }
}

TEST_F(DialogStateTest, label_starts_a_row_with_the_name_in_thirty_columns) {
  struct Row {
    std::u16string name;
    size_t units;
  };
  const Row rows[] = {
      {u"IFC_NDEVICES", 33},               // CR LF, 12 + 18 blanks, one blank
      {u"", 33},                           // all filler
      {std::u16string(29, u'a'), 33},
      {std::u16string(30, u'b'), 33},      // no filler before the trailing blank
      {std::u16string(31, u'c'), 34},      // longer names are written whole
      {std::u16string(100, u'd'), 103},
  };
  for (const Row& row : rows) {
    ResetReport(*state);
    Label(*state, row.name.c_str());
    const std::u16string text = ReportString(*state);
    EXPECT_EQ(text.size(), row.units) << "name of " << row.name.size();
    EXPECT_EQ(Readable(text), Readable(u"\r\n" + LeftAligned(row.name, 30) + u" ")) << "name of " << row.name.size();
    EXPECT_EQ(state->progressCount, 1) << "name of " << row.name.size() << ": a Label is one Append";
  }
  ResetReport(*state);
  Label(*state, u"IFC_NDEVICES");
  EXPECT_EQ(Readable(ReportString(*state)), "\\r\\nIFC_NDEVICES                   ");
}

TEST_F(DialogStateTest, new_line_writes_cr_lf_without_a_terminator) {
  Append(*state, u"x");
  PoisonAhead(8);
  NewLine(*state);
  NewLine(*state);
  EXPECT_EQ(Readable(ReportString(*state)), "x\\r\\n\\r\\n");
  EXPECT_EQ(state->progressCount, 3);
  EXPECT_EQ(*state->writePosition, kPoison) << "NewLine writes no terminator";

  // The next Append terminates the text again.
  Append(*state, u"");
  EXPECT_EQ(*state->writePosition, 0);
  EXPECT_EQ(state->progressCount, 4);
}

TEST_F(DialogStateTest, test_endings_follow_the_text_directly) {
  Append(*state, u"row");
  AppendEnding(*state, u"<hung>");
  PoisonAhead(4);
  AppendFinalLineBreak(*state);
  EXPECT_EQ(state->writePosition[0], kPoison) << "the line break alone writes no terminator";
  const size_t length = WrittenUnits(*state);
  TerminateReport(*state);
  EXPECT_EQ(Readable(ReportString(*state)), "row<hung>\\r\\n");
  EXPECT_EQ(WrittenUnits(*state), length) << "the terminator does not advance";
  EXPECT_EQ(state->ReportText[length], 0);
  EXPECT_EQ(state->progressCount, 3) << "the row, the ending and the line break";
}

// ---- The capacity of ReportText --------------------------------------------

// A piece of `length` units, all the letter of piece number `serial`.
std::u16string Piece(size_t serial, size_t length) { return std::u16string(length, char16_t(u'a' + serial % 26)); }

class ReportCapacity : public DialogStateTest {
 protected:
  void SetUp() override {
    DialogStateTest::SetUp();
    // Fields that lie behind ReportText in the record: a write past the
    // text's end would change them.
    state->lastQuerySize = 0xA5A5A5A5;
    state->infoEntry = nullptr;
  }

  void AppendPiece(const std::u16string& piece) {
    const char16_t* text = piece.c_str();
    Append(*state, u"%s", text);
    written += piece;
    ++appends;
  }

  // Ordinary pieces until the text holds exactly `units` units.
  void FillTo(size_t units) {
    size_t serial = 0;
    while (written.size() < units) AppendPiece(Piece(serial++, std::min<size_t>(1023, units - written.size())));
  }

  void ExpectRecordIntact(const std::string& context) {
    EXPECT_LE(WrittenUnits(*state), kReportTextUnits - 1) << context;
    EXPECT_EQ(state->lastQuerySize, 0xA5A5A5A5u) << context << ": a write ran past ReportText";
  }

  size_t CountFullMarkers(const std::u16string& text) {
    size_t count = 0;
    for (size_t at = text.find(kReportFullMarker); at != std::u16string::npos;
         at = text.find(kReportFullMarker, at + 1)) {
      ++count;
    }
    return count;
  }

  // Checks a report of plain letters that ran out of room in an Append:
  // everything appended up to the room's last unit, then the marker once.
  void ExpectCutOnce(const std::string& context) {
    const std::u16string text = ReportString(*state);
    ASSERT_EQ(CountFullMarkers(text), 1u) << context;
    ASSERT_GE(written.size(), kReportBodyUnits) << context;
    EXPECT_EQ(text.find(kReportFullMarker), kReportBodyUnits) << context << ": what fits is kept, and no more";
    EXPECT_EQ(text, written.substr(0, kReportBodyUnits) + kReportFullMarker) << context;
  }

  std::u16string written;  // everything appended, uncut
  int32_t appends = 0;
};

TEST_F(ReportCapacity, keeps_what_fits_and_marks_the_report_full_once) {
  size_t serial = 0;
  while (!ReportIsFull(*state) && serial < 200) AppendPiece(Piece(serial++, 1023));
  ASSERT_TRUE(ReportIsFull(*state)) << "the text must run out of room after 200 full pieces";
  ExpectCutOnce("at the first cut");
  const size_t lengthWhenFull = WrittenUnits(*state);

  // Later pieces only count.
  for (int i = 0; i < 10; ++i) AppendPiece(Piece(serial++, 1023));
  NewLine(*state);
  Label(*state, u"DVC_NAME");
  EXPECT_EQ(WrittenUnits(*state), lengthWhenFull);
  EXPECT_EQ(state->progressCount, appends + 2);
  ExpectCutOnce("after more pieces");
  ExpectRecordIntact("after more pieces");

  // The endings still fit behind the marker.
  AppendEnding(*state, u"<hard exception>");
  AppendFinalLineBreak(*state);
  TerminateReport(*state);
  const std::u16string text = ReportString(*state);
  const std::u16string tail = std::u16string(kReportFullMarker) + u"<hard exception>\r\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(Readable(text.substr(text.size() - tail.size())), Readable(tail));
  EXPECT_EQ(state->ReportText[text.size()], 0);
  EXPECT_EQ(state->progressCount, appends + 4);
  ExpectRecordIntact("after the endings");
}

TEST_F(ReportCapacity, a_piece_at_the_boundary_is_kept_whole_or_cut_with_the_marker) {
  const std::u16string piece = u"0123456789abcdefghij";
  for (size_t gap = 2; gap <= 40; ++gap) {
    ResetReport(*state);
    written.clear();
    appends = 0;
    const std::string context = "piece of 20 at " + std::to_string(gap) + " units before the body's end";
    FillTo(kReportBodyUnits - gap);
    ASSERT_FALSE(ReportIsFull(*state)) << context;
    ASSERT_EQ(WrittenUnits(*state), kReportBodyUnits - gap) << context;
    AppendPiece(piece);
    if (gap >= piece.size()) {
      // It fits, also when it ends exactly at the room's last unit.
      EXPECT_EQ(ReportString(*state), written) << context << ": kept whole";
      EXPECT_EQ(CountFullMarkers(ReportString(*state)), 0u) << context;
      EXPECT_EQ(*state->writePosition, 0) << context;
      EXPECT_FALSE(ReportIsFull(*state)) << context;
    } else {
      ExpectCutOnce(context);
      EXPECT_TRUE(ReportIsFull(*state)) << context;
    }
    ExpectRecordIntact(context);
    AppendEnding(*state, u"<hung>");
    AppendFinalLineBreak(*state);
    TerminateReport(*state);
    const std::u16string text = ReportString(*state);
    EXPECT_EQ(text.compare(text.size() - 8, 8, u"<hung>\r\n"), 0) << context;
    EXPECT_EQ(state->ReportText[text.size()], 0) << context;
    EXPECT_EQ(state->progressCount, appends + 2) << context;
    ExpectRecordIntact(context);
  }
}

// Text that ends exactly at the room's last unit: the next write, whichever
// it is, finds no room and writes the marker; the one after it adds nothing.
TEST_F(ReportCapacity, the_first_write_into_a_room_filled_exactly_writes_the_marker_once) {
  for (const bool appendFirst : {true, false}) {
    ResetReport(*state);
    written.clear();
    appends = 0;
    const std::string context = appendFirst ? "Append, then NewLine" : "NewLine, then Append";
    FillTo(kReportBodyUnits);
    ASSERT_EQ(ReportString(*state), written) << context;
    ASSERT_FALSE(ReportIsFull(*state)) << context << ": the room is used up, not exceeded";
    const std::u16string full = written + kReportFullMarker;
    for (int write = 0; write < 2; ++write) {
      if ((write == 0) == appendFirst) {
        AppendPiece(u"x");
      } else {
        NewLine(*state);
      }
      EXPECT_EQ(ReportString(*state), full) << context << ", after write " << write + 1;
      EXPECT_TRUE(ReportIsFull(*state)) << context;
    }
    EXPECT_EQ(state->progressCount, appends + 1) << context;
    ExpectRecordIntact(context);
  }
}

// A line break needs two units: it fits into two units of room and writes
// the marker in place of itself when only one is left.
TEST_F(ReportCapacity, a_line_break_at_the_boundary_fits_or_writes_the_marker) {
  for (const size_t room : {2u, 1u}) {
    ResetReport(*state);
    written.clear();
    appends = 0;
    const std::string context = std::to_string(room) + " units of room";
    FillTo(kReportBodyUnits - room);
    NewLine(*state);
    const std::u16string expected = room == 2 ? written + u"\r\n" : written + kReportFullMarker;
    EXPECT_EQ(Readable(ReportString(*state).substr(kReportBodyUnits - 40)), Readable(expected.substr(kReportBodyUnits - 40)))
        << context;
    EXPECT_EQ(ReportString(*state).size(), expected.size()) << context;
    EXPECT_EQ(ReportIsFull(*state), room == 1) << context;
  }
}

// However often a full report is ended, the final CR LF and the NUL stay
// inside the text: an ending may use the reserved room, but never the last
// three units.
TEST_F(ReportCapacity, endings_after_the_report_is_full_and_ended_leave_the_last_line_break_inside) {
  struct Row {
    const char* name;
    size_t room;        // units left before the marker is written
    bool byLineBreak;   // the marker comes from a NewLine, else from an Append
  };
  const Row rows[] = {
      {"marker at the room's end", 0, false},
      {"marker one unit early, from a line break", 1, true},
  };
  for (const Row& row : rows) {
    ResetReport(*state);
    written.clear();
    appends = 0;
    FillTo(kReportBodyUnits - row.room);
    if (row.byLineBreak) {
      NewLine(*state);
    } else {
      AppendPiece(u"cut here");
    }
    ASSERT_TRUE(ReportIsFull(*state)) << row.name;
    const std::u16string kept = ReportString(*state);
    ASSERT_EQ(kept.size(), kReportBodyUnits - row.room + kReportFullMarkerUnits) << row.name;
    AppendEnding(*state, kHardExceptionEnding);
    AppendEnding(*state, kHungEnding);
    AppendEnding(*state, kHardExceptionEnding);
    AppendFinalLineBreak(*state);
    TerminateReport(*state);
    const std::u16string text = ReportString(*state);
    ASSERT_GE(text.size(), kept.size() + 16 + 2) << row.name;
    EXPECT_LE(text.size(), kReportTextUnits - 1) << row.name << ": the NUL must be inside the text";
    EXPECT_EQ(text.compare(0, kept.size(), kept), 0) << row.name;
    EXPECT_EQ(text.compare(kept.size(), 16, kHardExceptionEnding), 0) << row.name << ": the first ending is whole";
    const std::u16string later = std::u16string(kHungEnding) + kHardExceptionEnding;
    const size_t extra = text.size() - 2 - kept.size() - 16;
    EXPECT_EQ(text.compare(kept.size() + 16, extra, later, 0, extra), 0) << row.name << ": later endings are cut, not mixed";
    EXPECT_EQ(Readable(text.substr(text.size() - 2)), "\\r\\n") << row.name;
    EXPECT_EQ(state->ReportText[text.size()], 0) << row.name;
    ExpectRecordIntact(row.name);
  }
}

TEST_F(ReportCapacity, line_breaks_alone_never_run_past_the_text) {
  const int32_t lineBreaks = static_cast<int32_t>(kReportTextUnits / 2 + 100);
  for (int32_t i = 0; i < lineBreaks; ++i) NewLine(*state);
  EXPECT_TRUE(ReportIsFull(*state));
  EXPECT_EQ(state->progressCount, lineBreaks);
  const std::u16string text = ReportString(*state);
  EXPECT_EQ(CountFullMarkers(text), 1u);
  ExpectRecordIntact("after the line breaks");
  const size_t marker = text.find(kReportFullMarker);
  for (size_t i = 0; i + 1 < marker; i += 2) {
    ASSERT_TRUE(text[i] == u'\r' && text[i + 1] == u'\n') << "unit " << i;
  }
  AppendEnding(*state, u"<hung>");
  AppendFinalLineBreak(*state);
  TerminateReport(*state);
  ExpectRecordIntact("after the endings");
  EXPECT_EQ(ReportString(*state).substr(ReportLength(*state) - 8), u"<hung>\r\n");
}

}  // namespace
