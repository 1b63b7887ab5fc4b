// Operates padscope-pen's window from another process under Wine, as a
// person and a test would:
//
//   pen_window_driver.exe OUT_PREFIX STEP...
//
// Finds the window of class "PadscopePen" (waiting up to 60 s), then runs
// the steps in order:
//   wait STATUS_PART MS   until the hidden status text contains STATUS_PART
//   gone STATUS_PART MS   until it no longer does
//   sleep MS
//   dump NAME             the header, values and status texts and the
//                         processor time the program has used to
//                         OUT_PREFIX.NAME.txt, and the client area as seen
//                         on the screen to OUT_PREFIX.NAME.bmp (24-bit)
//   click ID              a button (WM_COMMAND)
//   maximize              the window over the whole screen
//   clipboard NAME        "Copy report", then the clipboard's text to
//                         OUT_PREFIX.NAME.txt
//   save FILE             "Save for support...", FILE typed into the save
//                         dialog and the dialog confirmed; waits for FILE
//   close                 the close box (WM_CLOSE); then waits for the
//                         process to end and prints "exit CODE after MS ms"
// Throughout, the window is asked a message every 20 ms; the longest it took
// to answer is printed at the end as "slowest answer MS ms, asked at T ms"
// (T from when the window was found). Every failed
// step prints "FAIL: ..." and makes the exit code 1.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr int kHeader = 1105, kValues = 1106, kStatus = 1107;

HWND window = nullptr;
DWORD slowestMs = 0;
ULONGLONG started = 0;     // when the window was found
ULONGLONG slowestAt = 0;  // when the slowest answer was asked, from then
int failures = 0;

BOOL CALLBACK LookAt(HWND candidate, LPARAM) {
  wchar_t name[64] = {};
  GetClassNameW(candidate, name, 64);
  if (std::wcscmp(name, L"PadscopePen") != 0) return TRUE;
  window = candidate;
  return FALSE;
}

std::wstring TextOf(int id) {
  HWND control = GetDlgItem(window, id);
  wchar_t text[8192] = {};
  // Through a message with a timeout: a window that stopped answering
  // fails the step instead of stopping the driver.
  DWORD_PTR result = 0;
  SendMessageTimeoutW(control, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &result);
  return text;
}

// Asks the window a message and notes how long the answer took.
void Ping() {
  const ULONGLONG start = GetTickCount64();
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
  const DWORD took = static_cast<DWORD>(GetTickCount64() - start);
  if (took > slowestMs) {
    slowestMs = took;
    slowestAt = start - started;
  }
}

void PumpFor(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (GetTickCount64() < end) {
    Ping();
    Sleep(20);
  }
}

std::string Utf8(const std::wstring& text) {
  std::string out(text.size() * 3 + 1, '\0');
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()),
                                        nullptr, nullptr);
  out.resize(bytes > 0 ? static_cast<size_t>(bytes - 1) : 0);
  return out;
}

bool WaitStatus(const std::wstring& part, DWORD milliseconds, bool present) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    if ((TextOf(kStatus).find(part) != std::wstring::npos) == present) return true;
    if (GetTickCount64() > end) return false;
    PumpFor(20);
  }
}

void WriteBitmap(const std::wstring& path) {
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  const int width = client.right, height = client.bottom;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ before = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const DWORD rowBytes = static_cast<DWORD>((width * 3 + 3) & ~3);
  const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
  file.bfSize = file.bfOffBits + imageBytes;
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out != nullptr) {
    std::fwrite(&file, sizeof(file), 1, out);
    std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out);
    std::fwrite(bits, imageBytes, 1, out);
    std::fclose(out);
  }
  SelectObject(memory, before);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// The processor time the program has used so far, in milliseconds.
unsigned long ProcessorMs() {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  FILETIME created{}, ended{}, kernel{}, user{};
  const bool known = process != nullptr && GetProcessTimes(process, &created, &ended, &kernel, &user);
  if (process != nullptr) CloseHandle(process);
  if (!known) return 0;
  const auto ms = [](const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 10000u;
  };
  return static_cast<unsigned long>(ms(kernel) + ms(user));
}

void Dump(const std::wstring& prefix, const std::wstring& name) {
  FILE* out = _wfopen((prefix + L"." + name + L".txt").c_str(), L"wb");
  if (out == nullptr) return;
  std::fprintf(out, "[header]\n%s\n[values]\n%s\n[status]\n%s\n[processor]\n%lu ms\n", Utf8(TextOf(kHeader)).c_str(),
               Utf8(TextOf(kValues)).c_str(), Utf8(TextOf(kStatus)).c_str(), ProcessorMs());
  std::fclose(out);
  WriteBitmap(prefix + L"." + name + L".bmp");
}

constexpr int kCopyReport = 1103, kSave = 1104;

void Clipboard(const std::wstring& prefix, const std::wstring& name) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, WM_COMMAND, kCopyReport, 0, SMTO_NORMAL, 5000, &result);
  std::wstring text;
  if (OpenClipboard(nullptr)) {
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data))) {
        text = units;
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
  }
  if (text.empty()) {
    std::printf("FAIL: the clipboard holds no text after Copy report\n");
    ++failures;
  }
  FILE* out = _wfopen((prefix + L"." + name + L".txt").c_str(), L"wb");
  if (out == nullptr) return;
  std::fputs(Utf8(text).c_str(), out);
  std::fclose(out);
}

struct DialogSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK LookAtDialog(HWND candidate, LPARAM argument) {
  auto* search = reinterpret_cast<DialogSearch*>(argument);
  wchar_t name[16] = {};
  GetClassNameW(candidate, name, 16);
  if (std::wcscmp(name, L"#32770") != 0 || GetWindow(candidate, GW_OWNER) != search->owner) return TRUE;
  search->found = candidate;
  return FALSE;
}

// The save dialog's file name box is edt1 (1152) in the old style and
// cmb13 (1148) in the explorer style.
void Save(const std::wstring& file) {
  DeleteFileW(file.c_str());
  PostMessageW(window, WM_COMMAND, kSave, 0);
  DialogSearch search{window, nullptr};
  const ULONGLONG end = GetTickCount64() + 20000;
  while (search.found == nullptr && GetTickCount64() < end) {
    Sleep(50);
    EnumWindows(&LookAtDialog, reinterpret_cast<LPARAM>(&search));
  }
  if (search.found == nullptr) {
    std::printf("FAIL: no save dialog appeared\n");
    ++failures;
    return;
  }
  SetDlgItemTextW(search.found, 1152, file.c_str());
  SetDlgItemTextW(search.found, 1148, file.c_str());
  PostMessageW(search.found, WM_COMMAND, IDOK, 0);
  while (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < end) Sleep(50);
  if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::printf("FAIL: nothing was saved\n");
    ++failures;
    PostMessageW(search.found, WM_COMMAND, IDCANCEL, 0);  // so that the close can follow
  }
}

void Close() {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  const ULONGLONG start = GetTickCount64();
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (process == nullptr || WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) {
    std::printf("FAIL: the program did not end within 10 s of the close\n");
    ++failures;
    return;
  }
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  std::printf("exit %lu after %lu ms\n", static_cast<unsigned long>(code),
              static_cast<unsigned long>(GetTickCount64() - start));
  CloseHandle(process);
  window = nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring prefix = argv[1];
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (window == nullptr) {
    EnumWindows(&LookAt, 0);
    if (window != nullptr) break;
    if (GetTickCount64() > deadline) {
      std::printf("FAIL: no padscope-pen window appeared\n");
      return 1;
    }
    Sleep(50);
  }
  started = GetTickCount64();
  for (int k = 2; k < argc; ++k) {
    const std::wstring step = argv[k];
    const bool hasArgument = k + 1 < argc;
    if ((step == L"wait" || step == L"gone") && k + 2 < argc) {
      const std::wstring part = argv[k + 1];
      const bool present = step == L"wait";
      if (!WaitStatus(part, static_cast<DWORD>(_wtoi(argv[k + 2])), present)) {
        std::printf("FAIL: the status %s '%s' in time: %s\n", present ? "never showed" : "kept",
                    Utf8(part).c_str(), Utf8(TextOf(kStatus)).c_str());
        ++failures;
      }
      k += 2;
    } else if (step == L"sleep" && hasArgument) {
      PumpFor(static_cast<DWORD>(_wtoi(argv[++k])));
    } else if (step == L"dump" && hasArgument) {
      Dump(prefix, argv[++k]);
    } else if (step == L"click" && hasArgument) {
      PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(_wtoi(argv[++k])), 0);
    } else if (step == L"maximize") {
      ShowWindowAsync(window, SW_MAXIMIZE);
      PumpFor(300);
    } else if (step == L"clipboard" && hasArgument) {
      Clipboard(prefix, argv[++k]);
    } else if (step == L"save" && hasArgument) {
      Save(argv[++k]);
    } else if (step == L"close") {
      Close();
      if (window == nullptr) break;
    } else {
      std::printf("FAIL: unknown step '%s'\n", Utf8(step).c_str());
      return 2;
    }
    std::fflush(stdout);
  }
  std::printf("slowest answer %lu ms, asked at %lu ms\n", static_cast<unsigned long>(slowestMs),
              static_cast<unsigned long>(slowestAt));
  return failures == 0 ? 0 : 1;
}
