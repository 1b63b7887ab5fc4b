// What the simulated library needs from the system it runs on; one
// implementation for Windows, one for posix.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// The current value of an environment variable of the process, read anew
// on every call (on Windows from the process environment block, so that
// SetEnvironmentVariable by the host is seen). False when it is not set.
bool ReadEnvironment(const char* name, std::string& value);

// Whether an environment variable of the process holds `value` right now,
// an unset one counting as empty. Asked on every call of the library, so on
// posix it copies nothing and searches the environment only when it has
// changed there. `name` is one of the library's constant names: it is told
// apart by its address.
bool EnvironmentHolds(const char* name, const std::string& value);

// Tells a developer that a profile could not be used (stderr; on Windows
// also the debugger).
void ReportProblem(const std::string& message);

// Blocks the calling thread forever. It can only be ended from outside
// (thread termination, cancellation, process exit).
[[noreturn]] void HangForever();

// Whether `window` (a context's window handle) is shown on the screen;
// false where the system has no windows.
bool WindowIsShown(void* window);

// Milliseconds of a clock that never goes back, from an arbitrary start.
uint64_t MonotonicMilliseconds();

// Lets at least `milliseconds` pass before returning.
void PauseMilliseconds(uint32_t milliseconds);

// Raises a software exception with `code`: RaiseException on Windows; on
// posix a C++ exception of type SimulatedDriverException.
void RaiseSoftwareException(uint32_t code);

struct SimulatedDriverException {
  uint32_t code;
};

}  // namespace sim
