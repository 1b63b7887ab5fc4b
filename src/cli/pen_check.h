// padscope-report's pen check (--pen): after the report, a context on the
// default digitizing context, enabled and read with WTPacketsGet for a
// while; a line per packet and per change of proximity, then WTClose and a
// summary. Every call into the library is watched (and guarded in Safe
// Mode) as the report's are.
#pragma once

#include <cstddef>
#include <cstdint>

struct PenCheckSettings {
  uint32_t seconds = 10;
  bool safeMode = true;
  bool noNullBuffer = false;
  bool showWindow = false;  // the check's window over the whole screen, not hidden
};

struct PenCheckResult {
  int exitCode;  // 0, or one of the ReportExitCode values
  bool hung;     // a call never returned: end the process without waiting
};

// Writes the check's text through write(context, text, length) line by
// line, as it comes, on the calling thread. Ctrl+C ends the reading early.
PenCheckResult RunPenCheck(const PenCheckSettings& settings,
                           void (*write)(void* context, const char16_t* text, size_t length), void* writeContext);
