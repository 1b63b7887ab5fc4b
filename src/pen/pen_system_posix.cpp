#include <time.h>

#include "pen/pen_system.h"

void PreparePenWindows() {}
void CreatePenWindow(PenWindow& pen) { pen.window = nullptr; }
void DestroyPenWindow(PenWindow&) {}

void WaitOnPenWindow(PenWindow&, uint32_t milliseconds) {
  timespec pause{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
}

uint64_t MicrosecondsNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

uint64_t MillisecondsNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}
