// Times a dialog program's start-up: from just before CreateProcess to the
// moment its top-level "PADSCOPE" window is visible. Starts each program
// given, in turn, ROUNDS times, closes the window each time and waits for
// the process to end; prints one line per program with every time in
// milliseconds and their median, and, for two programs, the median over the
// rounds of the first one's time divided by the second one's in the same
// round, which the machine's changing load disturbs less.
//
//   startup_timer ROUNDS PROGRAM.exe...
#ifndef UNICODE
#define UNICODE
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "wine/shown_dialog.h"

namespace {

using shown_dialog::NowMs;

// Milliseconds from the start to the visible window, or a negative number.
double TimeOneStart(const std::wstring& program) {
  std::wstring commandLine = L"\"" + program + L"\"";
  const std::wstring directory = program.substr(0, program.find_last_of(L"\\/") + 1);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const double start = NowMs();
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  double shown = -1;
  HWND window = nullptr;
  while (NowMs() - start < 30000) {
    window = shown_dialog::Find(process.dwProcessId);
    if (window != nullptr) {
      shown = NowMs() - start;
      break;
    }
    if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  if (window != nullptr) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    shown = -1;
  }
  CloseHandle(process.hProcess);
  return shown;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: startup_timer ROUNDS PROGRAM.exe...\n");
    return 2;
  }
  const int rounds = _wtoi(argv[1]);
  if (rounds < 1) return 2;
  const int programs = argc - 2;
  std::vector<std::vector<double>> times(static_cast<size_t>(programs));
  // Taking turns spreads the machine's changing load over all programs.
  for (int round = 0; round < rounds; ++round) {
    for (int p = 0; p < programs; ++p) {
      const double ms = TimeOneStart(argv[2 + p]);
      if (ms < 0) {
        std::fprintf(stderr, "startup_timer: %ls showed no window\n", argv[2 + p]);
        return 1;
      }
      times[static_cast<size_t>(p)].push_back(ms);
    }
  }
  if (programs == 2) {
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) ratios.push_back(times[0][round] / times[1][round]);
    std::sort(ratios.begin(), ratios.end());
    std::printf("ratio median=%.3f\n", ratios[ratios.size() / 2]);
  }
  for (int p = 0; p < programs; ++p) {
    std::vector<double> sorted = times[static_cast<size_t>(p)];
    std::sort(sorted.begin(), sorted.end());
    std::printf("%ls median=%.1f runs=", argv[2 + p], sorted[sorted.size() / 2]);
    for (size_t i = 0; i < times[static_cast<size_t>(p)].size(); ++i) {
      std::printf("%s%.0f", i == 0 ? "" : ",", times[static_cast<size_t>(p)][i]);
    }
    std::printf("\n");
  }
  return 0;
}
