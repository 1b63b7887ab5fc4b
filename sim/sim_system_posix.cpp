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

void ReportProblem(const std::string& message) {
  std::fprintf(stderr, "WINTAB32.DLL (simulated): %s\n", message.c_str());
}

void HangForever() {
  // pause() is a cancellation point, so a host may still cancel the thread.
  for (;;) pause();
}

void RaiseSoftwareException(uint32_t code) { throw SimulatedDriverException{code}; }

}  // namespace sim
