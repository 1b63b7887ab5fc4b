// --record: a run written as a recording (exports/recording_format.h): the
// answer log as a tablet profile of the simulated library (sim/README.md),
// so that it answers exactly as the recorded one did, with what else the
// run asked and read, so that a replay gives the same run.
#pragma once

#include <string>

#include "diagnosis/cursor_slots.h"
#include "diagnosis/diagnosis.h"
#include "exports/pen_record.h"
#include "report/report_switches.h"
#include "report/answer_log.h"
#include "report/run_outcome.h"

// What a recording holds besides the report's answer log.
struct RecordingExtras {
  std::string options;                     // the test's options beyond the five switches, each after a blank
  const SystemFacts* system = nullptr;     // the machine as the diagnosis reads it
  const CursorSlotProbe* slots = nullptr;  // the diagnosis's own questions, when they were asked
  const PenRecord* pen = nullptr;          // the pen check, when it ran
};

// The recording's text (line ends of the system: CR LF on Windows). `log`
// holds the calls up to where the run stopped; hung: the watchdog ended
// the test in the call still under way. False (and `error` says why) when
// the run cannot be replayed: the library was never loaded, or the log ran
// out of room.
bool RecordProfile(const AnswerLog& log, const RunOutcome& outcome, bool hung, const ReportSwitches& switches,
                   std::string& profile, std::string& error, const RecordingExtras& extras = RecordingExtras{});
