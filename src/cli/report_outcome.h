// How a finished test ended, as padscope-report's exit code. It comes from
// what the run recorded, never from the report text.
#pragma once

#include "report/run_outcome.h"

enum ReportExitCode : int {
  kExitComplete = 0,
  kExitUsage = 2,
  kExitNoLibrary = 3,
  kExitProbeZero = 4,
  kExitHung = 5,
  kExitHardException = 6,
  kExitRowException = 7,
  kExitProblemsFound = 8,  // --diagnose: complete, with a finding of severity problem
  // The pen check (--pen): the library lacks one of the five entry points
  // it calls (or cannot be loaded), or no context could be opened.
  kExitPenNoEntryPoints = 9,
  kExitPenNoContext = 10,
};

// hung: the watchdog ended the test (the outcome is then not read: the
// stuck worker may still own it).
int ExitCodeOf(const RunOutcome& outcome, bool hung);
