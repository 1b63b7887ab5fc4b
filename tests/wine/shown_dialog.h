// What the Windows test programs that start padscope.exe (the end-to-end
// driver, the start-up timer) share: a millisecond clock and the search for
// the program's visible top-level "PADSCOPE" window.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cwchar>

namespace shown_dialog {

inline double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Search {
  DWORD processId;
  HWND found;
};

inline BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t title[64] = {};
  GetWindowTextW(window, title, ARRAYSIZE(title));
  if (owner == search.processId && std::wcscmp(title, L"PADSCOPE") == 0 && IsWindowVisible(window)) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

// The process's visible "PADSCOPE" window now, or null.
inline HWND Find(DWORD processId) {
  Search search = {processId, nullptr};
  EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace shown_dialog
