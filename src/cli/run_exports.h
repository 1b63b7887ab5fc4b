// What --json, --diagnose, --record and --replay add to a run of
// padscope-report: the answer log's storage, attached to the record before
// the run, and the outputs written from it afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/cli_options.h"
#include "cli/replay.h"
#include "report/answer_log.h"
#include "report/run_outcome.h"
#include "cli/whole_file.h"
#include "diagnosis/cursor_slots.h"
#include "exports/pen_record.h"
#include "report/answer_log.h"
#include "report/run_outcome.h"

struct DialogState;

struct RunExports {
  std::unique_ptr<AnswerLogEntry[]> entries;
  std::unique_ptr<uint8_t[]> bytes;
  AnswerLog log{};
  WholeFile record;
  Replay replay;
  // Kept from the end of the report for the recording, written after the pen
  // check, and for --json, whose document is written last with the members
  // the findings and the pen check add.
  AnswerLog finishedLog{};
  RunOutcome outcome{};
  bool reportHung = false;
  CursorSlotProbe* slots = nullptr;  // given up, not freed, when its worker was left behind
  SystemFacts system;
  PenRecord pen;
  std::string members;
};

// Before the run: the replay's library checked and chosen, storage for the
// log when an export is asked for, and the recording's file opened. False
// with a one-line `error` and the exit code: nothing may run.
bool PrepareExports(ReportOptions& options, RunExports& exports, std::string& error, int& exitCode);

// Gives the record the log (none without an export: the run is then the plain one).
void AttachExports(RunExports& exports, DialogState& state);

// After the report (its finished text): writes the report to standard
// output. Returns the process's exit code so far: the run's, or 1 when the
// output could not be written. With --diagnose the findings follow the
// report (with --json they wait in exports.members); `hung` becomes true
// when its own questions left a stuck worker behind.
int FinishExports(RunExports& exports, const DialogState& state, const std::u16string& report, bool& hung,
                  const ReportOptions& options);

// The pen check's events for the recording; null when nothing is recorded.
PenRecord* PenRecordOf(RunExports& exports, const ReportOptions& options);

// At the very end (after the pen check): the recording written to its file.
// Returns `code`, or 1 when the recording could not be written.
int FinishRecording(RunExports& exports, const ReportOptions& options, int code);

// --json, once everything has run: writes the document with exitCode to
// standard output; returns exitCode, or 1 when it could not be written.
int WriteJsonDocument(const RunExports& exports, const std::u16string& report, const ReportOptions& options,
                      int exitCode);
