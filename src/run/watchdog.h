// The watchdog's rule, shared by the dialog's timer and the console's
// watched runs: once a period it reads the worker's progress counter, and a
// counter that has not moved since the previous reading means the worker
// hangs. The counter and the write position are written by the worker
// without a lock; the watchdog only reads them fresh and compares.
#pragma once

#include <cstdint>

#include "report/dialog_state.h"

// The product always watches once a second. The tests in the emulated x86
// machine, where programs run many times slower than on any real machine,
// build variants that wait longer.
#ifdef PADSCOPE_WATCHDOG_PERIOD_MS
inline constexpr uint32_t kWatchdogPeriodMs = PADSCOPE_WATCHDOG_PERIOD_MS;
#else
inline constexpr uint32_t kWatchdogPeriodMs = 1000;
#endif

// True when `progress` equals the previous reading (the worker hangs);
// otherwise it becomes the previous reading.
inline bool ProgressStoodStill(int32_t progress, int32_t& lastSeen) {
  if (progress == lastSeen) return true;
  lastSeen = progress;
  return false;
}

// A fresh read of the aligned 32-bit counter the worker increments.
inline int32_t ReadProgress(const DialogState& state) {
  return *static_cast<const volatile int32_t*>(&state.progressCount);
}

// A fresh read of how far the worker has written the report.
inline const char16_t* ReadWritePosition(const DialogState& state) {
  return *static_cast<char16_t* const volatile*>(&state.writePosition);
}
