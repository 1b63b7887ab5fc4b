// --record: the answer log of a run written as a tablet profile of the
// simulated library (sim/README.md), so that the simulated library answers
// exactly as the recorded one did and a replay gives the same report.
#pragma once

#include <string>

#include "report/report_switches.h"
#include "report/answer_log.h"
#include "report/run_outcome.h"

// The profile text. `log` holds the calls up to where the run stopped;
// hung: the watchdog ended the test in the call still under way.
// False (and `error` says why) when the run cannot be replayed: the library
// was never loaded, or the log ran out of room.
bool RecordProfile(const AnswerLog& log, const RunOutcome& outcome, bool hung, const ReportSwitches& switches,
                   std::string& profile, std::string& error);
