// What --json and --record add to a run of padscope-report: the answer
// log's storage, attached to the record before the run, and the outputs
// written from it afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/cli_options.h"
#include "report/answer_log.h"
#include "report/run_outcome.h"
#include "cli/whole_file.h"

struct DialogState;

struct RunExports {
  std::unique_ptr<AnswerLogEntry[]> entries;
  std::unique_ptr<uint8_t[]> bytes;
  AnswerLog log{};
  WholeFile record;
  // --json: the run as it was taken after the report, and the members the
  // findings and the pen check add; the document is written last.
  AnswerLog taken{};
  RunOutcome outcome{};
  bool reportHung = false;
  std::string members;
};

// Before the run: storage for the log when an export is asked for, and the
// recording's file opened. False with a one-line `error`: nothing may run.
bool PrepareExports(const ReportOptions& options, RunExports& exports, std::string& error);

// Gives the record the log (none without an export: the run is then the plain one).
void AttachExports(RunExports& exports, DialogState& state);

// After the run (report: its finished text): writes the report to standard
// output and the recording to its file. Returns the process's exit code: the
// run's, or 1 when an output could not be written. With --diagnose the
// findings follow the report (with --json they wait in exports.members);
// `hung` becomes true when its own questions left a stuck worker behind.
int FinishExports(RunExports& exports, const DialogState& state, const std::u16string& report, bool& hung,
                  const ReportOptions& options);

// --json, once everything has run: writes the document with exitCode to
// standard output; returns exitCode, or 1 when it could not be written.
int WriteJsonDocument(const RunExports& exports, const std::u16string& report, const ReportOptions& options,
                      int exitCode);
