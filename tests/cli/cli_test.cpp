// padscope-report's command line and exit codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/report_outcome.h"
#include "format/utf8_encoding.h"

namespace {

ParsedCommandLine Parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "padscope-report");
  return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

TEST(cli_options, defaults_are_the_dialogs_check_boxes) {
  const ParsedCommandLine parsed = Parse({});
  EXPECT_EQ(parsed.action, CliAction::RunTest);
  EXPECT_TRUE(parsed.options.safeMode);
  EXPECT_TRUE(parsed.options.showContextDevice);
  EXPECT_FALSE(parsed.options.noNullBuffer);
  EXPECT_FALSE(parsed.options.overrideCounts);
  EXPECT_FALSE(parsed.options.ignoreNullQuery);
  EXPECT_FALSE(parsed.options.utf16);
}

TEST(cli_options, each_switch_changes_its_own_flag_only) {
  struct Row {
    const char* option;
    bool ReportOptions::*field;
    bool expected;
  };
  const Row rows[] = {
      {"--no-safe-mode", &ReportOptions::safeMode, false},
      {"--no-null-buffer", &ReportOptions::noNullBuffer, true},
      {"--override-counts", &ReportOptions::overrideCounts, true},
      {"--no-context-device", &ReportOptions::showContextDevice, false},
      {"--ignore-probe", &ReportOptions::ignoreNullQuery, true},
      {"--utf16", &ReportOptions::utf16, true},
      {"--pen-window", &ReportOptions::penWindow, true},
  };
  const ReportOptions defaults;
  for (const Row& row : rows) {
    const ParsedCommandLine parsed = Parse({row.option});
    EXPECT_EQ(parsed.action, CliAction::RunTest) << row.option;
    EXPECT_EQ(parsed.options.*row.field, row.expected) << row.option;
    for (const Row& other : rows) {
      if (other.field != row.field) {
        EXPECT_EQ(parsed.options.*other.field, defaults.*other.field) << row.option << " changed " << other.option;
      }
    }
  }
}

TEST(cli_options, unknown_options_and_stray_arguments_name_the_culprit) {
  const ParsedCommandLine unknown = Parse({"--safe", "--help"});
  EXPECT_EQ(unknown.action, CliAction::Fail);
  EXPECT_NE(unknown.error.find("'--safe'"), std::string::npos) << unknown.error;
  EXPECT_EQ(unknown.error.find('\n'), std::string::npos);

  const ParsedCommandLine stray = Parse({"--no-safe-mode", "report.txt"});
  EXPECT_EQ(stray.action, CliAction::Fail);
  EXPECT_NE(stray.error.find("'report.txt'"), std::string::npos) << stray.error;
}

TEST(cli_options, pen_takes_whole_seconds_up_to_a_day) {
  struct Row {
    const char* argument;
    bool valid;
    uint32_t seconds;
  };
  const Row rows[] = {
      {"--pen", true, 10},        {"--pen=0", true, 0},      {"--pen=2", true, 2},
      {"--pen=86400", true, 86400}, {"--pen=86401", false, 0}, {"--pen=", false, 0},
      {"--pen=2s", false, 0},     {"--pen=-1", false, 0},    {"--pen=99999999999999999999", false, 0},
  };
  EXPECT_FALSE(Parse({}).options.penCheck);
  for (const Row& row : rows) {
    const ParsedCommandLine parsed = Parse({row.argument});
    if (!row.valid) {
      EXPECT_EQ(parsed.action, CliAction::Fail) << row.argument;
      EXPECT_NE(parsed.error.find(std::string("'") + row.argument + "'"), std::string::npos) << parsed.error;
      continue;
    }
    EXPECT_EQ(parsed.action, CliAction::RunTest) << row.argument;
    EXPECT_TRUE(parsed.options.penCheck) << row.argument;
    EXPECT_EQ(parsed.options.penSeconds, row.seconds) << row.argument;
  }
  EXPECT_EQ(Parse({"--penalty"}).action, CliAction::Fail);
}

TEST(cli_options, help_and_version) {
  EXPECT_EQ(Parse({"--help"}).action, CliAction::ShowHelp);
  EXPECT_EQ(Parse({"--version"}).action, CliAction::ShowVersion);
  EXPECT_EQ(Parse({"--version", "--help"}).action, CliAction::ShowHelp);
  EXPECT_NE(std::string(kVersionText).find("2.6.1.0"), std::string::npos);
  for (const char* code : {"  0 ", "  2 ", "  3 ", "  4 ", "  5 ", "  6 ", "  7 ", "  8 ", "  9 ", " 10 ", " 11 ", " 12 "}) {
    EXPECT_NE(std::string(kUsageText).find(code), std::string::npos) << "help lacks exit code" << code;
  }
}

// The exit codes of --help, from what the run recorded: the ending first,
// then whether any row was lost to a contained fault.
TEST(report_outcome, exit_code_follows_how_the_run_ended) {
  struct Row {
    const char* name;
    RunOutcome outcome;
    bool hung;
    int expected;
  };
  const Row rows[] = {
      {"complete", {RunEnding::complete, 0, 0}, false, kExitComplete},
      {"complete with faults", {RunEnding::complete, 3, 0}, false, kExitRowException},
      {"no library", {RunEnding::noLibrary, 0, 0}, false, kExitNoLibrary},
      {"library load faulted", {RunEnding::noLibrary, 1, 0}, false, kExitNoLibrary},
      {"no WTInfoW", {RunEnding::noInfoEntry, 0, 0}, false, kExitNoLibrary},
      {"probe zero", {RunEnding::probeZero, 0, 0}, false, kExitProbeZero},
      {"probe faulted", {RunEnding::probeFaulted, 1, 0}, false, kExitRowException},
      {"hard exception", {RunEnding::hardException, 2, 0xC0000005u}, false, kExitHardException},
      {"hung", {RunEnding::running, 0, 0}, true, kExitHung},
      {"hung after faults", {RunEnding::running, 4, 0}, true, kExitHung},
  };
  for (const Row& row : rows) EXPECT_EQ(ExitCodeOf(row.outcome, row.hung), row.expected) << row.name;
}

// Several outcomes in one run: the most severe wins, in the order --help
// and the README state (1, 5, 6, 3, 4, 7, 9, 10, 8, 11, 12, 0), for every
// pair in both orders.
TEST(report_outcome, the_most_severe_of_two_outcomes_wins) {
  static const int kDocumentedOrder[] = {1, 5, 6, 3, 4, 7, 9, 10, 8, 11, 12, 0};
  const size_t count = sizeof(kDocumentedOrder) / sizeof(kDocumentedOrder[0]);
  for (size_t i = 0; i < count; ++i) {
    for (size_t j = 0; j < count; ++j) {
      const int expected = kDocumentedOrder[i < j ? i : j];
      EXPECT_EQ(MostSevere(kDocumentedOrder[i], kDocumentedOrder[j]), expected)
          << kDocumentedOrder[i] << " with " << kDocumentedOrder[j];
    }
  }
}

// A pen check's code: its ending first; after a complete reading, a verdict
// about missing input gives 11 and one about pressure 12.
TEST(report_outcome, pen_check_code_follows_its_ending_then_its_verdict) {
  struct Row {
    PenEnding ending;
    PenVerdict verdict;
    int expected;
  };
  static const Row rows[] = {
      {PenEnding::complete, PenVerdict::none, 0},
      {PenEnding::noEntryPoints, PenVerdict::none, 9},
      {PenEnding::noContext, PenVerdict::none, 10},
      {PenEnding::callFaulted, PenVerdict::libraryFaulted, 7},
      {PenEnding::brokenAnswer, PenVerdict::libraryBrokeCount, 7},
      {PenEnding::hardException, PenVerdict::none, 6},
      {PenEnding::callFaulted, PenVerdict::lowPressureRange, 7},
      {PenEnding::complete, PenVerdict::libraryNotEnabled, 11},
      {PenEnding::complete, PenVerdict::hiddenWindow, 11},
      {PenEnding::complete, PenVerdict::noPackets, 11},
      {PenEnding::complete, PenVerdict::onlyHovered, 11},
      {PenEnding::complete, PenVerdict::noPressureField, 12},
      {PenEnding::complete, PenVerdict::pressureZero, 12},
      {PenEnding::complete, PenVerdict::pressureFixed, 12},
      {PenEnding::complete, PenVerdict::tipNotReleased, 12},
      {PenEnding::complete, PenVerdict::lowPressureRange, 12},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    EXPECT_EQ(ExitCodeOfPen(rows[i].ending, rows[i].verdict), rows[i].expected) << "row " << i;
  }
}

TEST(utf8_output, encodes_every_plane_and_replaces_lone_surrogates) {
  const char16_t text[] = {u'A', 0x00E9, 0x20AC, 0xD83D, 0xDE00, 0xD800, u'\r', u'\n'};
  EXPECT_EQ(ToUtf8(text, 8), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD\r\n");
}

}  // namespace
