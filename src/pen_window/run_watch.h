// The window's side of a run: starting it, taking in what it has done at
// every tick (the header once the report and diagnosis are done, the
// packets as they come), the one-second watchdog, "Test again" and the end.
// Window thread only; nothing here waits for the worker.
#pragma once

#include <cstdint>

#include "pen_window/pen_window_state.h"

// Starts a new run on the window, on a clean canvas (the header says so
// when none can start).
void StartRun(PenWindowState& state);

// "Test again": the running session is asked to stop; a new run starts as
// soon as it has ended, or in any case within kGiveUpMs.
void TestAgain(PenWindowState& state);
inline constexpr uint64_t kGiveUpMs = 1500;

// Every tick of the refresh timer.
void WatchRun(PenWindowState& state, uint64_t now);

// Window destruction: asks the run to stop. True when the process must end
// without waiting for a worker (one was given up or still runs).
bool EndRunsForClose(PenWindowState& state);

// The last run's worker has ended (waiting up to `milliseconds` for it).
bool LastRunEnded(uint32_t milliseconds);
