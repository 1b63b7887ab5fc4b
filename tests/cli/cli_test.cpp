// padscope-report's command line and exit codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/report_outcome.h"
#include "cli/run_exports.h"
#include "diagnosis/load_error.h"
#include "format/utf8_encoding.h"
#include "report/dialog_state.h"

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
    const char* needs = nullptr;  // an option it goes with only
  };
  const Row rows[] = {
      {"--no-safe-mode", &ReportOptions::safeMode, false},
      {"--no-null-buffer", &ReportOptions::noNullBuffer, true},
      {"--override-counts", &ReportOptions::overrideCounts, true},
      {"--no-context-device", &ReportOptions::showContextDevice, false},
      {"--ignore-probe", &ReportOptions::ignoreNullQuery, true},
      {"--utf16", &ReportOptions::utf16, true},
      {"--pen-window", &ReportOptions::penWindow, true, "--pen"},
  };
  const ReportOptions defaults;
  for (const Row& row : rows) {
    const ParsedCommandLine parsed =
        row.needs != nullptr ? Parse({row.needs, row.option}) : Parse({row.option});
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
      // The duration as the next argument, when that starts with a digit.
      {"--pen 5", true, 5},       {"--pen 0", true, 0},      {"--pen 86401", false, 0},
      {"--pen 5x", false, 0},
  };
  EXPECT_FALSE(Parse({}).options.penCheck);
  for (const Row& row : rows) {
    const std::string text = row.argument;
    const size_t blank = text.find(' ');
    const std::string option = text.substr(0, blank);
    const std::string value = blank == std::string::npos ? "" : text.substr(blank + 1);
    const ParsedCommandLine parsed =
        value.empty() ? Parse({option.c_str()}) : Parse({option.c_str(), value.c_str()});
    if (!row.valid) {
      EXPECT_EQ(parsed.action, CliAction::Fail) << row.argument;
      const std::string culprit = value.empty() ? option : value;
      EXPECT_NE(parsed.error.find("'" + culprit + "'"), std::string::npos) << parsed.error;
      continue;
    }
    EXPECT_EQ(parsed.action, CliAction::RunTest) << row.argument;
    EXPECT_TRUE(parsed.options.penCheck) << row.argument;
    EXPECT_EQ(parsed.options.penSeconds, row.seconds) << row.argument;
  }
  EXPECT_EQ(Parse({"--penalty"}).action, CliAction::Fail);
  // A stray word after --pen is no duration: it stays a stray argument.
  EXPECT_EQ(Parse({"--pen", "soon"}).action, CliAction::Fail);
  EXPECT_EQ(Parse({"--pen", "--diagnose"}).options.penSeconds, 10u);
}

// Both spellings of --record; every error of the command line names its
// culprit on one line and points to the help.
TEST(cli_options, record_takes_its_file_either_way_and_errors_point_to_help) {
  struct Row {
    std::vector<const char*> arguments;
    const char* recordPath;  // null: the command line fails
    const char* culprit;     // in the error line
  };
  static const Row rows[] = {
      {{"--record", "t.txt"}, "t.txt", ""},
      {{"--record=t.txt"}, "t.txt", ""},
      {{"--json", "--diagnose", "--pen", "--record", "t.txt"}, "t.txt", ""},  // the document carries them all
      {{"--record=\xCE\xA9.txt"}, "\xCE\xA9.txt", ""},
      {{"--record="}, nullptr, "--record needs a file name"},
      {{"--record"}, nullptr, "--record needs a file name"},
      {{"--record=a", "--record", "b"}, nullptr, "--record given twice"},
      {{"--safe"}, nullptr, "'--safe'"},
      {{"report.txt"}, nullptr, "'report.txt'"},
      {{"--pen-window"}, nullptr, "--pen-window"},
      {{"--json", "--utf16"}, nullptr, "--json and --utf16"},
  };
  for (const Row& row : rows) {
    const ParsedCommandLine parsed = Parse(row.arguments);
    const std::string name = row.arguments[0];
    if (row.recordPath != nullptr) {
      EXPECT_EQ(parsed.action, CliAction::RunTest) << name;
      EXPECT_EQ(parsed.options.recordPath, row.recordPath) << name;
      continue;
    }
    EXPECT_EQ(parsed.action, CliAction::Fail) << name;
    EXPECT_NE(parsed.error.find(row.culprit), std::string::npos) << name << ": " << parsed.error;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << name;
    const std::string pointer = "; try 'padscope-report --help'";
    EXPECT_TRUE(parsed.error.size() > pointer.size() &&
                parsed.error.compare(parsed.error.size() - pointer.size(), pointer.size(), pointer) == 0)
        << name << ": " << parsed.error;
  }
}

TEST(cli_options, help_and_version) {
  EXPECT_EQ(Parse({"--help"}).action, CliAction::ShowHelp);
  EXPECT_EQ(Parse({"--version"}).action, CliAction::ShowVersion);
  EXPECT_EQ(Parse({"--version", "--help"}).action, CliAction::ShowHelp);
  EXPECT_EQ(Parse({"-h"}).action, CliAction::ShowHelp);
  EXPECT_NE(std::string(kVersionText).find("2.6.1.0"), std::string::npos);
  for (const char* code :
       {"  0 ", "  1 ", "  2 ", "  3 ", "  4 ", "  5 ", "  6 ", "  7 ", "  8 ", "  9 ", " 10 ", " 11 ", " 12 "}) {
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

// What the load's error code means: absent, not a library of this program's
// width (naming the other width as the likely cause), its start refused, or
// only that it failed.
TEST(load_error, says_what_the_system_said) {
  const bool wide = sizeof(void*) == 8;
  struct Row {
    uint32_t code;
    std::u16string says;
  };
  const Row rows[] = {
      {126, u"no tablet library is where programs look for it"},
      {193, wide ? u"not a valid library for this 64-bit program" : u"not a valid library for this 32-bit program"},
      {193, wide ? u"it is a 32-bit library" : u"it is a 64-bit library"},
      {1114, u"initialisation failed"},
      {5, u"could not load the library"},
      {0, u"could not load the library"},
  };
  for (const Row& row : rows) {
    const std::u16string meaning = LoadErrorMeaning(row.code);
    EXPECT_NE(meaning.find(row.says), std::u16string::npos) << row.code;
    EXPECT_EQ(meaning.back(), u'.') << row.code;
  }
}

// A run that cannot be recorded leaves FILE absent and no temporary file;
// the exit code says why: a library that did not load keeps the run's own
// code, a log that ran out of room is a recording lost (1), never a 0.
TEST(run_exports, a_run_that_cannot_be_recorded_is_never_a_success) {
  struct Row {
    const char* name;
    RunEnding ending;
    bool loaded;
    uint32_t entriesLost;
    int expected;
  };
  static const Row rows[] = {
      {"log overflowed", RunEnding::complete, true, 1, kExitFailure},
      {"library not loaded", RunEnding::noLibrary, false, 0, kExitNoLibrary},
  };
  const char* file = "run_exports_test.profile";
  for (const Row& row : rows) {
    std::remove(file);
    ReportOptions options;
    options.recordPath = file;
    RunExports exports;
    std::string error;
    int code = 0;
    ASSERT_TRUE(PrepareExports(options, exports, error, code)) << row.name << ": " << error;
    DialogState* state = NewDialogState(nullptr);
    ASSERT_NE(state, nullptr);
    AttachExports(exports, *state);
    state->outcome = RunOutcome{row.ending, 0, 0};
    exports.log.library.loaded = row.loaded;
    exports.log.entriesLost = row.entriesLost;
    bool hung = false;
    EXPECT_EQ(FinishRecording(exports, options, FinishExports(exports, *state, u"", hung, options)), row.expected)
        << row.name;
    DeleteDialogState(state);
    std::FILE* written = std::fopen(file, "rb");
    EXPECT_EQ(written, nullptr) << row.name << ": something was recorded";
    if (written != nullptr) std::fclose(written);
  }
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
