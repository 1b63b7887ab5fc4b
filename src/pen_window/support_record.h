// What "Save for support..." writes: the run's recording, as
// padscope-report's --record writes it. The one call into the recording
// writer.
#pragma once

#include <string>

struct PenRun;

// False (and `error` says why) when the run cannot be recorded.
bool RecordForSupport(PenRun& run, bool hung, std::string& profile, std::string& error);
