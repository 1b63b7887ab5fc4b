// padscope-report's exit codes, in one table, and how the capabilities'
// endings map to them. A code comes from what the run recorded, never from
// the report text.
#pragma once

#include "pen/pen_session.h"
#include "report/run_outcome.h"

enum ReportExitCode : int {
  kExitComplete = 0,
  kExitFailure = 1,  // an output could not be written, or memory was short
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
  // The pen check's verdict: no pen input to judge (no packet came, the
  // library delivered none, or the pen only hovered), or a pressure problem.
  kExitPenNoInput = 11,
  kExitPenPressure = 12,
};

// hung: the watchdog ended the test (the outcome is then not read: the
// stuck worker may still own it).
int ExitCodeOf(const RunOutcome& outcome, bool hung);

// How a pen check that returned ended: its ending first, then its verdict.
int ExitCodeOfPen(PenEnding ending, PenVerdict verdict);

// When a run has several outcomes (the report, the diagnosis, the pen
// check), the most severe wins, in this order: 1, 5, 6, 3, 4, 7, 9, 10, 8,
// 11, 12, then 0 (2 never combines: nothing runs).
int MostSevere(int code, int other);
