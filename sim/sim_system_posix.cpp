#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "sim_system.h"

namespace sim {

bool ReadEnvironment(const char* name, std::string& value) {
  const char* found = std::getenv(name);
  if (found == nullptr) return false;
  value = found;
  return true;
}

bool EnvironmentHolds(const char* name, const std::string& value) {
  const char* found = std::getenv(name);
  return found == nullptr ? value.empty() : value == found;
}

void ReportProblem(const std::string& message) {
  std::fprintf(stderr, "WINTAB32.DLL (simulated): %s\n", message.c_str());
}

void HangForever() {
  // pause() is a cancellation point, so a host may still cancel the thread.
  for (;;) pause();
}

uint64_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

void RaiseSoftwareException(uint32_t code) { throw SimulatedDriverException{code}; }

}  // namespace sim
