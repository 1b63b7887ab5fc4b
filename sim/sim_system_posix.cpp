#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim_system.h"

extern char** environ;

namespace sim {
namespace {

// Where a variable stood in the environment when this thread last searched
// for it. The library looks at its two variables on every call; a search of
// the whole environment each time would cost more than answering, and more
// the larger the host's environment. Entries are replaced, never edited, by
// setenv and unsetenv, and removing one moves the later ones down, so:
// - found: the variable is still there while the same entry string sits at
//   the same place of the same array (its text is read anew by the caller,
//   so an edit in place through putenv is seen too);
// - absent: it is still absent while the array ends where it ended, after
//   the same last entry: anything added is appended behind that entry, and
//   anything removed moves it.
struct Sighting {
  const char* name = nullptr;
  size_t nameLength = 0;
  char** array = nullptr;
  size_t index = 0;             // found: its entry; absent: the count of entries
  const char* entry = nullptr;  // found: its entry; absent: the last entry, if any
  bool found = false;
};

thread_local Sighting sightings[4];

bool StillTrue(const Sighting& sighting) {
  char** const array = environ;
  if (array == nullptr || array != sighting.array) return false;
  if (sighting.found) return array[sighting.index] == sighting.entry;
  const size_t count = sighting.index;
  return array[count] == nullptr && (count == 0 || array[count - 1] == sighting.entry);
}

// Searches the environment and notes where the variable stood. Its value,
// or null when it is not set.
const char* Search(Sighting& sighting) {
  char** const array = environ;
  sighting.array = array;
  sighting.found = false;
  size_t i = 0;
  for (; array != nullptr && array[i] != nullptr; ++i) {
    if (std::strncmp(array[i], sighting.name, sighting.nameLength) == 0 && array[i][sighting.nameLength] == '=') {
      sighting.found = true;
      sighting.index = i;
      sighting.entry = array[i];
      return array[i] + sighting.nameLength + 1;
    }
  }
  sighting.index = i;
  sighting.entry = i > 0 ? array[i - 1] : nullptr;
  return nullptr;
}

const char* CurrentValue(const char* name) {
  for (Sighting& sighting : sightings) {
    if (sighting.name == nullptr) {
      sighting.name = name;
      sighting.nameLength = std::strlen(name);
      return Search(sighting);
    }
    if (sighting.name != name) continue;
    if (!StillTrue(sighting)) return Search(sighting);
    return sighting.found ? sighting.entry + sighting.nameLength + 1 : nullptr;
  }
  return std::getenv(name);  // more names than places to note them
}

}  // namespace

bool ReadEnvironment(const char* name, std::string& value) {
  const char* found = std::getenv(name);
  if (found == nullptr) return false;
  value = found;
  return true;
}

bool EnvironmentHolds(const char* name, const std::string& value) {
  const char* found = CurrentValue(name);
  return found == nullptr ? value.empty() : value == found;
}

void ReportProblem(const std::string& message) {
  std::fprintf(stderr, "WINTAB32.DLL (simulated): %s\n", message.c_str());
}

void HangForever() {
  // pause() is a cancellation point, so a host may still cancel the thread.
  for (;;) pause();
}

bool WindowIsShown(void*) { return false; }

uint64_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

void PauseMilliseconds(uint32_t milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void RaiseSoftwareException(uint32_t code) { throw SimulatedDriverException{code}; }

}  // namespace sim
