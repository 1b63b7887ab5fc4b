// A stand-in for a healthy tablet driver that raises and handles
// exceptions of its own on the way to its answer: a C++ throw and catch, an
// SEH exception handled by its own frame, and debug output. A guard around
// a call into it must see none of these and let the answer through.
#include <windows.h>

#include <stdexcept>

#include "platform/platform.h"

namespace {

int ThrowAndCatch(int value) {
  try {
    if (value >= 0) throw std::runtime_error("handled inside the driver");
  } catch (const std::runtime_error&) {
    return value + 1;
  }
  return -1;
}

void RaiseSoftwareException(void*) { RaiseException(0xE0001234u, 0, 0, nullptr); }

}  // namespace

// Writes 42 + 1 + 0x1234 into *result when every internal exception was
// handled where it was raised.
extern "C" __declspec(dllexport) void AnswerAfterInternalExceptions(void* result) {
  OutputDebugStringW(L"tablet driver: answering\n");
  const int afterThrow = ThrowAndCatch(42);
  const platform::GuardOutcome own = platform::RunGuarded(RaiseSoftwareException, nullptr);
  const int afterSeh = own.faulted ? static_cast<int>(own.code & 0xFFFF) : -1000000;
  *static_cast<int*>(result) = afterThrow + afterSeh;
}
