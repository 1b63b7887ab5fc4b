// padscope-report: the report of one test on standard output, for scripts.
#include <cstdio>
#include <cstdlib>

#include "cli/cli_options.h"
#include "cli/pen_console.h"
#include "cli/pen_lines.h"
#include "cli/report_outcome.h"
#include "cli/run_exports.h"
#include "cli/utf8_output.h"
#include "report/dialog_state.h"
#include "report/report_switches.h"
#include "run/watched_run.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

void WritePenLine(void* utf16, const char16_t* text, size_t length) {
  WriteReport(text, length, *static_cast<const bool*>(utf16));
}

PenCheckResult RunPenCheckAfterReport(const ReportOptions& options) {
  static bool utf16 = false;
  utf16 = options.utf16;
  PenSettings settings;
  settings.seconds = options.penSeconds;
  settings.safeMode = options.safeMode;
  settings.noNullBuffer = options.noNullBuffer;
  settings.showWindow = options.penWindow;
  settings.describeWindow = &DescribePenWindow;
  return RunPenCheck(settings, &WritePenLine, &utf16);
}

}  // namespace

int main(int argc, char** argv) {
  const ParsedCommandLine command = ParseCommandLine(argc, argv);
  switch (command.action) {
    case CliAction::Fail:
      WriteErrorLine(command.error);
      return kExitUsage;
    case CliAction::ShowHelp:
      std::fputs(kUsageText, stdout);
      return kExitComplete;
    case CliAction::ShowVersion:
      std::fputs(kVersionText, stdout);
      return kExitComplete;
    case CliAction::RunTest:
      break;
  }

  RunExports exports;
  std::string exportError;
  if (!PrepareExports(command.options, exports, exportError)) {
    WriteErrorLine(exportError);
    return kExitUsage;
  }
  DialogState* state = NewDialogState(nullptr);
  if (state == nullptr) {
    WriteErrorLine("padscope-report: out of memory");
    DiscardWholeFile(exports.record);
    return kExitFailure;
  }
  AttachExports(exports, *state);
  const ReportOptions& options = command.options;
  ApplySwitches(options, *state);

  bool hung = false;
  const std::u16string report = RunWatchedTest(*state, hung);
  int code = FinishExports(exports, *state, report, hung, options);
  // The pen check follows a report that was written (the JSON document
  // stands alone: the two options do not go together).
  if (!hung && options.penCheck && code != kExitFailure) {
    const PenCheckResult pen = RunPenCheckAfterReport(options);
    hung = pen.hung;
    code = MostSevere(code, pen.exitCode);
  }
  if (hung) {
    // The stuck worker cannot be joined; end the process without running
    // anything that could wait for it or touch what it holds (on Windows
    // even the normal exit would wait for the loader lock a driver stuck in
    // its load or release still holds).
    std::fflush(nullptr);
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
#endif
    std::_Exit(code);
  }
  DeleteDialogState(state);
  return code;
}
