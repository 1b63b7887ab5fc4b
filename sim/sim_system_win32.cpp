#include <windows.h>

#include <cstdio>
#include <vector>

#include "sim_system.h"

namespace sim {

bool ReadEnvironment(const char* name, std::string& value) {
  std::vector<char> buffer(256);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableA(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      value.clear();
      return true;
    }
    if (length < buffer.size()) {
      value.assign(buffer.data(), length);
      return true;
    }
    buffer.resize(length + 1);  // length then counts the terminator
  }
}

bool EnvironmentHolds(const char* name, const std::string& value) {
  std::string current;
  ReadEnvironment(name, current);
  return current == value;
}

void ReportProblem(const std::string& message) {
  const std::string line = "WINTAB32.DLL (simulated): " + message + "\n";
  OutputDebugStringA(line.c_str());
  std::fputs(line.c_str(), stderr);
}

void HangForever() {
  for (;;) Sleep(INFINITE);
}

// Asked through the host's USER32, found at run time: the library imports
// nothing but KERNEL32 and the C runtime, and a host without USER32 loaded
// has no window to show.
bool WindowIsShown(void* window) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (window == nullptr || user32 == nullptr) return false;
  using IsWindowVisibleEntry = BOOL(WINAPI*)(HWND);
  const auto isVisible = reinterpret_cast<IsWindowVisibleEntry>(
      reinterpret_cast<void*>(GetProcAddress(user32, "IsWindowVisible")));
  return isVisible != nullptr && isVisible(static_cast<HWND>(window)) != 0;
}

uint64_t MonotonicMilliseconds() { return GetTickCount64(); }

void PauseMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

void RaiseSoftwareException(uint32_t code) { RaiseException(code, 0, 0, nullptr); }

}  // namespace sim
