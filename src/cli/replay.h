// --replay FILE: the test run against the simulated WINTAB32.DLL that ships
// in the folder sim/ beside padscope-report, loaded by its full path and
// told to answer from FILE; the recording's options and the machine it
// recorded stand in for the replaying one's.
#pragma once

#include <string>

#include "cli/cli_options.h"
#include "diagnosis/diagnosis.h"

struct Replay {
  bool recordedSystem = false;  // the file recorded a machine (a plain profile does not)
  SystemFacts system;
};

// Before anything runs: checks FILE through the simulated library and
// points every load of the library at it. `options` takes the recorded
// options when the command line gave none of the test's own. False with a
// one-line `error` and the exit code to end with.
bool PrepareReplay(ReportOptions& options, Replay& replay, std::string& error, int& exitCode);
