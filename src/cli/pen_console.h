// padscope-report's pen check (--pen): the pen session run after the
// report on a watched worker, its lines printed as they come, Ctrl+C
// ending the reading early.
#pragma once

#include <cstddef>
#include <cstdint>

#include "exports/pen_record.h"
#include "pen/pen_session.h"

struct PenCheckResult {
  int exitCode;  // 0, or one of the ReportExitCode values
  bool hung;     // a call never returned: end the process without waiting
};

// Writes the check's text through write(context, text, length) line by
// line, as it comes, on the calling thread. A write that answers false
// (its reader went away) ends the reading as Ctrl+C does. `record`, when
// given, keeps every event for the recording.
PenCheckResult RunPenCheck(const PenSettings& settings,
                           bool (*write)(void* context, const char16_t* text, size_t length), void* writeContext,
                           PenRecord* record);

// The same check with its events told to sink(sinkContext, ...) and
// nothing printed (--json gathers them into its document); `record` as above.
PenCheckResult RunPenCheckInto(const PenSettings& settings, PenEventSink sink, void* sinkContext, PenRecord* record);
