// Once the cancel command has been given, the dialog publishes nothing,
// whatever it is still handed before the window is destroyed. The modal
// loop dispatches nothing after the cancel command, but the dialog thread
// can still handle sent messages while it waits inside the window system
// (hiding the window, handing the activation on): the worker's finish
// request may come then. This program runs the dialog modeless, so that its
// own loop keeps dispatching after the cancel command, and checks that
// neither the worker's finish request nor the watchdog's later ticks end
// the test.
//
//   closing_dialog_test    (exit code 0: nothing was published)
//
// Each row runs in a fresh process (the dialog's destruction with a test
// running ends the process), started by this program with the row's
// number as its one argument. The library is whichever WINTAB32.DLL the
// system offers: the rows need only a report that ends.
#include "app/dialog_window.h"
#include "app/win32.h"
#include "res/resource_ids.h"

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>

namespace {

struct Row {
  const char* name;
  DWORD ticksMs;  // how long messages are dispatched after the worker ended
};

// The report of whatever library the system offers ends within moments:
// the worker's finish request comes, and the worker ends once it has been
// answered. With the test left running, the one-second watchdog's second
// tick finds no progress.
static const Row kRows[] = {
    {"the finish request", 0},
    {"the finish request and two watchdog ticks", 2500},
};

// Dispatches messages until `handle` is signalled or ms have passed.
void Pump(HANDLE handle, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    const DWORD count = handle != nullptr ? 1 : 0;
    if (MsgWaitForMultipleObjects(count, &handle, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT) == WAIT_OBJECT_0 &&
        count == 1) {
      return;
    }
  }
}

// The running test's worker, as a handle of this program's own (the dialog
// closes its handle when it ends the test).
HANDLE CopyOfWorker(HWND dialog) {
  const auto* state = reinterpret_cast<const DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  HANDLE copy = nullptr;
  if (state == nullptr || WorkerThreadOf(*state) == nullptr) return nullptr;
  DuplicateHandle(GetCurrentProcess(), WorkerThreadOf(*state), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0);
  return copy;
}

// One row, in this process. Returns only on failure: the destruction of the
// dialog with its test still running ends the process with exit code 0.
int RunRow(const Row& row) {
  HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PADSCOPE), nullptr, DialogProc, 0);
  if (dialog == nullptr) {
    std::printf("FAIL [%s]: no dialog\n", row.name);
    return 1;
  }
  SendMessageW(dialog, WM_COMMAND, IDC_DO_TEST, 0);
  HANDLE worker = CopyOfWorker(dialog);
  if (worker == nullptr) {
    std::printf("FAIL [%s]: no worker\n", row.name);
    return 1;
  }
  SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  Pump(worker, 30000);
  if (WaitForSingleObject(worker, 0) != WAIT_OBJECT_0) {
    std::printf("FAIL [%s]: the worker did not end\n", row.name);
    return 1;
  }
  Pump(nullptr, row.ticksMs);
  const int shown = GetWindowTextLengthW(GetDlgItem(dialog, IDC_OUTPUT));
  if (shown != 0) {
    std::printf("FAIL [%s]: %d units published after the cancel command\n", row.name, shown);
    return 1;
  }
  std::printf("[%s] nothing published\n", row.name);
  std::fflush(stdout);
  DestroyWindow(dialog);
  std::printf("FAIL [%s]: the test was no longer running when the dialog was destroyed\n", row.name);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2) {
    const size_t index = static_cast<size_t>(_wtoi(argv[1]));
    return index < std::size(kRows) ? RunRow(kRows[index]) : 2;
  }
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
  int failures = 0;
  for (size_t index = 0; index < std::size(kRows); ++index) {
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" " + std::to_wstring(index);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    DWORD code = 99;
    if (CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
      WaitForSingleObject(process.hProcess, INFINITE);
      GetExitCodeProcess(process.hProcess, &code);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
    if (code != 0) {
      std::printf("FAIL [%s]: exit code %lu\n", kRows[index].name, code);
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
