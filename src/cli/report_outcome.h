// How a finished report ended, read from its text, as padscope-report's
// exit code.
#pragma once

#include <cstddef>

enum ReportExitCode : int {
  kExitComplete = 0,
  kExitUsage = 2,
  kExitNoLibrary = 3,
  kExitProbeZero = 4,
  kExitHung = 5,
  kExitHardException = 6,
  kExitRowException = 7,
  // The pen check (--pen): the library lacks one of the five entry points
  // it calls (or cannot be loaded), or no context could be opened.
  kExitPenNoEntryPoints = 9,
  kExitPenNoContext = 10,
};

// text: the finished report (with its final CR LF), length units.
int ClassifyReport(const char16_t* text, size_t length);
