// --json: one run as one JSON document (UTF-8), from its answer log and
// outcome; the schema is described in docs/report-json.md.
#pragma once

#include <string>

#include "report/report_switches.h"
#include "report/answer_log.h"
#include "report/run_outcome.h"

// report: the finished text (the log's row offsets point into it);
// members: further top-level members, each "  \"name\": value,\n" (the
// findings of --diagnose, the pen check of --pen), placed before the exit code.
std::string ExportJson(const AnswerLog& log, const RunOutcome& outcome, bool hung, int exitCode,
                       const ReportSwitches& switches, const std::u16string& report,
                       const std::string& members = std::string());
