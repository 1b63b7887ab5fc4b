// Command-line options of padscope-report: one switch per check box of the
// dialog, with the dialog's defaults.
#pragma once

#include <cstdint>
#include <string>

#include "report/report_switches.h"

// The five check boxes first, as the report takes them; then the console's own.
struct ReportOptions : ReportSwitches {
  bool utf16 = false;
  bool penCheck = false;      // --pen: read the pen's packets after the report
  uint32_t penSeconds = 10;   // for this long
  bool penWindow = false;     // --pen-window: its window shown over the screen
  bool diagnose = false;  // --diagnose: findings after the report
  bool json = false;        // --json: the run as one JSON document instead of the text
  std::string recordPath;   // --record FILE: also write the run as a recording; "" for none
  std::string replayPath;   // --replay FILE: test the simulated library answering from FILE; "" for none
};

inline constexpr uint32_t kMaxPenSeconds = 86400;

enum class CliAction { RunTest, ShowHelp, ShowVersion, Fail };

struct ParsedCommandLine {
  CliAction action = CliAction::RunTest;
  ReportOptions options;
  std::string error;  // one line, for CliAction::Fail
};

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

extern const char kUsageText[];
extern const char kVersionText[];
