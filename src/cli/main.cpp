// padscope-report: the report of one test on standard output, for scripts.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/cli_options.h"
#include "cli/pen_console.h"
#include "cli/pen_lines.h"
#include "cli/report_outcome.h"
#include "cli/run_exports.h"
#include "cli/utf8_output.h"
#include "cli/pen_json.h"
#include "report/dialog_state.h"
#include "report/report_switches.h"
#include "run/watched_run.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool WritePenLine(void* utf16, const char16_t* text, size_t length) {
  return WriteReport(text, length, *static_cast<const bool*>(utf16));
}

PenSettings PenSettingsOf(const ReportOptions& options) {
  PenSettings settings;
  settings.seconds = options.penSeconds;
  settings.safeMode = options.safeMode;
  settings.noNullBuffer = options.noNullBuffer;
  settings.showWindow = options.penWindow;
  settings.describeWindow = &DescribePenWindow;
  return settings;
}

PenCheckResult RunPenCheckAfterReport(const ReportOptions& options, RunExports& exports) {
  PenRecord* record = PenRecordOf(exports, options);
  if (options.json) {
    // Kept when a call hangs: the stuck worker may still hold it.
    auto* pen = new PenJson;
    const PenCheckResult result = RunPenCheckInto(PenSettingsOf(options), &WritePenJsonEvent, pen, record);
    exports.members += PenMember(*pen, result.exitCode, result.hung);
    if (!result.hung) delete pen;
    return result;
  }
  static bool utf16 = false;
  utf16 = options.utf16;
  return RunPenCheck(PenSettingsOf(options), &WritePenLine, &utf16, record);
}

// --help and --version: the text, or the line that says it was lost.
int ShowText(const char* text, const char* what) {
  if (WriteStandardOutput(text, std::strlen(text))) return kExitComplete;
  WriteErrorLine(StandardOutputFailure(what));
  return kExitFailure;
}

int RunReport(int argc, const char* const* argv) {
  PrepareStandardStreams();
  const ParsedCommandLine command = ParseCommandLine(argc, argv);
  switch (command.action) {
    case CliAction::Fail:
      WriteErrorLine(command.error);
      return kExitUsage;
    case CliAction::ShowHelp:
      return ShowText(kUsageText, "the help");
    case CliAction::ShowVersion:
      return ShowText(kVersionText, "the version");
    case CliAction::RunTest:
      break;
  }

  ReportOptions options = command.options;
  RunExports exports;
  std::string exportError;
  int exportCode = kExitUsage;
  if (!PrepareExports(options, exports, exportError, exportCode)) {
    WriteErrorLine(exportError);
    return exportCode;
  }
  DialogState* state = NewDialogState(nullptr);
  if (state == nullptr) {
    WriteErrorLine("padscope-report: out of memory");
    DiscardWholeFile(exports.record);
    return kExitFailure;
  }
  AttachExports(exports, *state);
  ApplySwitches(options, *state);

  bool hung = false;
  const std::u16string report = RunWatchedTest(*state, hung);
  int code = FinishExports(exports, *state, report, hung, options);
  // The pen check follows a report that was written; the JSON document
  // waits for it and carries it.
  if (!hung && options.penCheck && code != kExitFailure) {
    const PenCheckResult pen = RunPenCheckAfterReport(options, exports);
    hung = pen.hung;
    code = MostSevere(code, pen.exitCode);
    if (StandardOutputFailed()) {
      WriteErrorLine(StandardOutputFailure("the pen check"));
      code = kExitFailure;
    }
  }
  code = FinishRecording(exports, options, code);
  if (options.json) code = MostSevere(code, WriteJsonDocument(exports, report, options, code));
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

}  // namespace

#ifdef _WIN32
// The command line as the system holds it, in UTF-16 (a file name in any
// script survives), passed on in UTF-8 like the posix one.
int wmain(int argc, wchar_t** argv) {
  // Kept for the whole process, as argv is.
  const char** arguments = new const char*[static_cast<size_t>(argc) + 1];
  for (int i = 0; i < argc; ++i) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    char* argument = new char[bytes > 0 ? static_cast<size_t>(bytes) : 1];
    argument[0] = '\0';
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, argument, bytes, nullptr, nullptr);
    arguments[i] = argument;
  }
  arguments[argc] = nullptr;
  return RunReport(argc, arguments);
}
#else
int main(int argc, char** argv) { return RunReport(argc, argv); }
#endif
