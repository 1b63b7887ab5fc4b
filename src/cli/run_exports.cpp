#include "cli/run_exports.h"

#include <cstdio>

#include "diagnosis/diagnose_run.h"
#include "exports/answer_record.h"
#include "exports/json_export.h"
#include "cli/findings_json.h"
#include "exports/record_lines.h"
#include "report/dialog_state.h"
#include "cli/report_outcome.h"
#include "cli/utf8_output.h"

namespace {

// Room for every step a report can make: the text holds at most about
// 3,500 rows before it is full, and the loops stop there. The bytes are
// reserved, not touched, until answers fill them.
constexpr uint32_t kLogEntries = 16384;
constexpr uint32_t kLogBytes = 64u * 1024u * 1024u;

bool WantsLog(const ReportOptions& options) {
  return options.json || options.diagnose || !options.recordPath.empty();
}

// The test's options beyond the five switches, as a recording keeps them.
void AppendTestOptions(std::string& line, const ReportOptions& options) {
  if (options.diagnose) line += " --diagnose";
  if (options.penCheck) {
    line += " --pen=";
    AppendDecimal(line, options.penSeconds);
  }
  if (options.penWindow) line += " --pen-window";
}

}  // namespace

bool PrepareExports(ReportOptions& options, RunExports& exports, std::string& error, int& exitCode) {
  exitCode = kExitUsage;
  if (!options.replayPath.empty() && !PrepareReplay(options, exports.replay, error, exitCode)) return false;
  if (!WantsLog(options)) return true;
  exports.entries.reset(new (std::nothrow) AnswerLogEntry[kLogEntries]);
  exports.bytes.reset(new (std::nothrow) uint8_t[kLogBytes]);
  if (!exports.entries || !exports.bytes) {
    error = "padscope-report: out of memory for the answer log";
    return false;
  }
  AttachAnswerLogStorage(exports.log, exports.entries.get(), kLogEntries, exports.bytes.get(), kLogBytes);
  return options.recordPath.empty() || OpenWholeFile(options.recordPath, exports.record, error);
}

void AttachExports(RunExports& exports, DialogState& state) {
  state.answerLog = exports.entries ? &exports.log : nullptr;
}

int FinishExports(RunExports& exports, const DialogState& state, const std::u16string& report, bool& hung,
                  const ReportOptions& options) {
  // Taken at once: after a hang the stuck worker keeps the record, and what
  // it had logged up to the stuck call stays as it is.
  exports.finishedLog = exports.log;
  exports.outcome = state.outcome;
  exports.reportHung = hung;
  const AnswerLog& log = exports.finishedLog;
  const RunOutcome& outcome = exports.outcome;
  const bool reportHung = hung;
  int code = ExitCodeOf(outcome, reportHung);
  // The machine the rules judge: this one, or in a replay the recorded one.
  if (options.diagnose || !options.recordPath.empty()) {
    exports.system = exports.replay.recordedSystem ? exports.replay.system : LookAtSystem(log);
  }

  bool written = true;
  if (options.diagnose) {
    exports.slots = AskCursorSlots(log, outcome, reportHung, options);
    const RunDiagnosis diagnosis =
        DiagnoseRun(log, outcome, reportHung, exports.slots, exports.system, options.safeMode != 0);
    if (code == kExitComplete && diagnosis.problems > 0) code = kExitProblemsFound;
    hung = hung || (exports.slots != nullptr && exports.slots->ran && !exports.slots->ended);
    if (options.json) {
      exports.members = FindingsMember(diagnosis.findings);
    } else {
      const std::u16string text = report + diagnosis.section;
      written = WriteReport(text.data(), text.size(), options.utf16);
    }
  } else if (!options.json) {
    written = WriteReport(report.data(), report.size(), options.utf16);
  }
  if (!written) {
    WriteErrorLine(StandardOutputFailure("the report"));
    code = kExitFailure;
  }
  return code;
}

PenRecord* PenRecordOf(RunExports& exports, const ReportOptions& options) {
  return options.recordPath.empty() ? nullptr : &exports.pen;
}

int FinishRecording(RunExports& exports, const ReportOptions& options, int code) {
  const bool slotsStuck = exports.slots != nullptr && exports.slots->ran && !exports.slots->ended;
  if (options.recordPath.empty()) {
    if (!slotsStuck) delete exports.slots;
    return code;
  }
  // The recording does not depend on standard output: a run that has
  // something to record is recorded even when its reader went away.
  const AnswerLog& log = exports.finishedLog;
  RecordingExtras extras;
  AppendTestOptions(extras.options, options);
  extras.system = &exports.system;
  extras.slots = exports.slots;
  extras.pen = &exports.pen;
  std::string profile;
  std::string error;
  if (!RecordProfile(log, exports.outcome, exports.reportHung, options, profile, error, extras)) {
    DiscardWholeFile(exports.record);
    WriteErrorLine("padscope-report: --record: " + error);
    // A library that did not load has its own exit code; a run too large
    // for the log is a recording lost.
    if (!AnswerLogIsComplete(log)) code = kExitFailure;
  } else if (!CommitWholeFile(exports.record, profile, error)) {
    WriteErrorLine(error);
    code = kExitFailure;
  }
  if (!slotsStuck) delete exports.slots;
  exports.slots = nullptr;
  return code;
}

int WriteJsonDocument(const RunExports& exports, const std::u16string& report, const ReportOptions& options,
                      int exitCode) {
  const std::string document =
      ExportJson(exports.finishedLog, exports.outcome, exports.reportHung, exitCode, options, report, exports.members);
  if (WriteStandardOutput(document.data(), document.size())) return exitCode;
  WriteErrorLine(StandardOutputFailure("the JSON document"));
  return kExitFailure;
}
