// MicrosecondsNow on Windows, in a file of its own: a program that never
// measures short delays (padscope-report) links none of it.
#include <windows.h>

#include "pen/pen_system.h"

uint64_t MicrosecondsNow() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  // Whole seconds and the rest apart, so that the product cannot overflow.
  const uint64_t ticks = static_cast<uint64_t>(counter.QuadPart), perSecond = static_cast<uint64_t>(frequency.QuadPart);
  return ticks / perSecond * 1000000u + ticks % perSecond * 1000000u / perSecond;
}
