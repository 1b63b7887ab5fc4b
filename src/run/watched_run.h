// One test as the dialog's "Do Test" runs it: the report driver on a worker
// thread under the outermost guard ("<hard exception>"), watched once a
// second ("<hung>").
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct DialogState;

// Runs one test with the option flags already set in state and returns the
// finished report text, final CR LF included. When the worker hangs, the
// text is what it had written, "<hung>" and CR LF; the stuck worker is left
// behind and the caller must end the process without waiting for it.
std::u16string RunWatchedTest(DialogState& state, bool& hung);

// Other work watched as the report is: body(argument) on a worker thread,
// poll(pollContext) on the calling thread every few milliseconds while it
// runs (and once after it ended), and `progress`, which the worker counts
// up, read once a second. True when the worker ended; false when the
// counter stood still for a whole second (or no worker could start): the
// worker is left behind, and the caller must end the process without
// waiting for it.
bool RunWatchedWork(void (*body)(void* argument), void* argument, const std::atomic<int32_t>& progress,
                    void (*poll)(void* context), void* pollContext);

// Runs body(state) on a worker thread under the same watchdog: true when it
// ended, false when it made no progress for a whole period (it is then left
// behind, and the caller must end the process without waiting for it).
// One watched run at a time.
bool RunWatched(DialogState& state, void (*body)(DialogState& state));
