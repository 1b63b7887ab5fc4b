// Operates padscope-report's shown pen window as a person would, from
// another process under Wine:
//
//   pen_window_probe.exe PACKETS TIMEOUT_MS escape|close
//
// Waits for the top-level window whose title reads "PADSCOPE pen check:
// ... PACKETS packets read", prints that title on standard output, then
// presses Escape in it or closes it (WM_CLOSE, as the close box does).
// Exit code 0 when it did, 1 when no such window appeared in time, 2 for a
// bad command line.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
  std::wstring wanted;  // the end of the title
  HWND found = nullptr;
  std::wstring title;
};

BOOL CALLBACK LookAt(HWND window, LPARAM argument) {
  auto* search = reinterpret_cast<Search*>(argument);
  wchar_t title[512] = {};
  GetWindowTextW(window, title, 512);
  const std::wstring text = title;
  const std::wstring prefix = L"PADSCOPE pen check: ";
  if (text.compare(0, prefix.size(), prefix) != 0) return TRUE;
  if (text.size() < search->wanted.size() ||
      text.compare(text.size() - search->wanted.size(), search->wanted.size(), search->wanted) != 0) {
    return TRUE;
  }
  search->found = window;
  search->title = text;
  return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  const std::wstring action = argv[3];
  if (action != L"escape" && action != L"close") return 2;
  Search search;
  search.wanted = std::wstring(L", ") + argv[1] + L" packets read";
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(_wtoi(argv[2]));
  while (search.found == nullptr) {
    EnumWindows(&LookAt, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) break;
    if (GetTickCount64() > deadline) return 1;
    Sleep(50);
  }
  char utf8[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, search.title.c_str(), -1, utf8, sizeof(utf8) - 1, nullptr, nullptr);
  std::printf("%s\n", utf8);
  std::fflush(stdout);
  if (action == L"escape") {
    PostMessageW(search.found, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(search.found, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0000001u));
  } else {
    PostMessageW(search.found, WM_CLOSE, 0, 0);
  }
  return 0;
}
