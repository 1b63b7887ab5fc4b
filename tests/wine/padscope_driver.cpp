// Operates padscope.exe the way a person does: starts it, finds the
// "PADSCOPE" window, sets check boxes by clicking them, clicks "Do Test",
// waits until the button is enabled again, reads the output box, and closes
// the dialog. Writes each report as UTF-8 and prints one line of facts per
// step on stdout; exits 0 only when every step went as required.
//
//   padscope_driver [--env NAME=VALUE]... --exe PATH [--out PREFIX] STEP...
//
// --env NAME=VALUE     set in padscope.exe's environment (for instance
//                      WINEDLLOVERRIDES, which Wine reads at process start)
// --wine-dll NAME=MODE how Wine loads library NAME in padscope.exe: native,
//                      builtin or disabled (Wine's per-program DLL override
//                      in the prefix's registry, written before the start;
//                      WINEDLLOVERRIDES of the driver does not reach a child)
// --exe PATH           the program to start, in its own folder
// --out PREFIX         write report k to PREFIX.k.txt, and the same with the
//                      machine's values replaced by placeholders to
//                      PREFIX.k.normalized.txt
// Steps, carried out in the order given:
// --check-initial      verify the dialog's state before the first test
// --set ID=V           click check box ID until it reads V (1 checked)
// --test               press "Do Test", wait for the end, read the report
// --close-during-test MS
//                      press "Do Test", wait MS milliseconds and close the
//                      dialog while the test still runs
// --nothing-published PERIOD_MS
//                      with --close-during-test as the first test: the
//                      output box must stay empty until the process ended
//                      (only for a test that cannot end by itself first),
//                      when the close was posted before the program's
//                      watchdog, of that period, could have ticked
// --wait-for FILE      wait (at most 60 s) until FILE exists
// --idle MS            wait MS milliseconds, then check that the output box
//                      still shows the last report unchanged
// --check-resize       enlarge and shrink the dialog like a border drag and
//                      check that only the output box follows
// After the last step the dialog is closed with its close box (unless a
// step closed it) and the exit code must be 0.
#ifndef UNICODE
#define UNICODE
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "report_normalizer.h"
#include "shown_dialog.h"

namespace {

constexpr int kDoTest = 1001, kSafeMode = 1003, kOutput = 1006, kShowContextDevice = 1007;
constexpr int kCheckBoxes[] = {1002, 1003, 1004, 1007, 1008};
constexpr DWORD kFindWindowMs = 30000;
constexpr DWORD kTestMs = 60000;
constexpr DWORD kExitMs = 15000;

enum class StepKind { checkInitial, set, test, closeDuringTest, waitFor, idle, checkResize };

struct Step {
  StepKind kind;
  int id = 0;     // set: the check box; closeDuringTest, idle: milliseconds
  int value = 0;  // set: 1 checked, 0 unchecked
  std::wstring path;
};

struct Options {
  std::vector<std::wstring> environment;
  std::vector<std::wstring> wineDlls;
  std::wstring exe;
  std::wstring outPrefix;
  int nothingPublishedPeriodMs = 0;
  std::vector<Step> steps;
};

int failures = 0;

void Fail(const char* what, long long detail = 0) {
  std::fprintf(stdout, "FAIL: %s (%lld)\n", what, detail);
  std::fflush(stdout);
  ++failures;
}

void Fail(const std::string& what) {
  std::fprintf(stdout, "FAIL: %s\n", what.c_str());
  std::fflush(stdout);
  ++failures;
}

using shown_dialog::NowMs;

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    Step step = {};
    if (arg == L"--env" && hasValue) {
      options.environment.push_back(argv[++i]);
      continue;
    } else if (arg == L"--wine-dll" && hasValue) {
      options.wineDlls.push_back(argv[++i]);
      continue;
    } else if (arg == L"--exe" && hasValue) {
      options.exe = argv[++i];
      continue;
    } else if (arg == L"--out" && hasValue) {
      options.outPrefix = argv[++i];
      continue;
    } else if (arg == L"--nothing-published" && hasValue) {
      options.nothingPublishedPeriodMs = _wtoi(argv[++i]);
      continue;
    } else if (arg == L"--check-initial") {
      step.kind = StepKind::checkInitial;
    } else if (arg == L"--set" && hasValue) {
      step.kind = StepKind::set;
      if (std::swscanf(argv[++i], L"%d=%d", &step.id, &step.value) != 2) return false;
    } else if (arg == L"--test") {
      step.kind = StepKind::test;
    } else if (arg == L"--close-during-test" && hasValue) {
      step.kind = StepKind::closeDuringTest;
      step.id = _wtoi(argv[++i]);
    } else if (arg == L"--idle" && hasValue) {
      step.kind = StepKind::idle;
      step.id = _wtoi(argv[++i]);
    } else if (arg == L"--check-resize") {
      step.kind = StepKind::checkResize;
    } else if (arg == L"--wait-for" && hasValue) {
      step.kind = StepKind::waitFor;
      step.path = argv[++i];
    } else {
      return false;
    }
    options.steps.push_back(step);
  }
  return !options.exe.empty();
}

HWND FindDialog(DWORD processId, HANDLE process) {
  const double deadline = NowMs() + kFindWindowMs;
  while (NowMs() < deadline) {
    if (HWND found = shown_dialog::Find(processId)) return found;
    if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(GetDlgItem(dialog, id), message, wParam, lParam, SMTO_NORMAL, 10000, &result)) {
    Fail("control did not answer; id", id);
  }
  return static_cast<LRESULT>(result);
}

std::wstring OutputText(HWND dialog) {
  const LRESULT length = Send(dialog, kOutput, WM_GETTEXTLENGTH);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = Send(dialog, kOutput, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(copied));
  return text;
}

void CheckInitialState(HWND dialog) {
  for (int id : kCheckBoxes) {
    const LRESULT want = (id == kSafeMode || id == kShowContextDevice) ? BST_CHECKED : BST_UNCHECKED;
    if (Send(dialog, id, BM_GETCHECK) != want) Fail("initial check box state wrong; id", id);
  }
  if (!IsWindowEnabled(GetDlgItem(dialog, kDoTest))) Fail("Do Test disabled at start");
  if (Send(dialog, kOutput, WM_GETTEXTLENGTH) != 0) Fail("output box not empty at start");
  const HWND focus = GetDlgItem(dialog, kDoTest);
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof(gui);
  if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui) && gui.hwndFocus != focus) {
    Fail("keyboard focus is not on Do Test");
  }
}

void SetCheckBox(HWND dialog, int id, int value) {
  const LRESULT want = value ? BST_CHECKED : BST_UNCHECKED;
  for (int clicks = 0; clicks < 2 && Send(dialog, id, BM_GETCHECK) != want; ++clicks) Send(dialog, id, BM_CLICK);
  if (Send(dialog, id, BM_GETCHECK) != want) Fail("check box does not take its state; id", id);
}

std::string Utf8(const std::wstring& text) {
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

bool WriteUtf8(const std::wstring& path, const std::wstring& text) {
  const std::string utf8 = Utf8(text);
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(utf8.data(), 1, utf8.size(), file) == utf8.size();
  return std::fclose(file) == 0 && written;
}

// How long the dialog takes to answer a message, in milliseconds (the
// timeout when it does not answer within it).
double ResponseMs(HWND dialog) {
  constexpr UINT kTimeoutMs = 5000;
  const double start = NowMs();
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, kTimeoutMs, &result)) return kTimeoutMs;
  return NowMs() - start;
}

// Presses "Do Test" and waits until it is enabled again, asking the dialog
// all the while whether it answers. Returns the time from the click to that
// moment in milliseconds, or a negative value; slowestResponseMs receives
// the longest the dialog took to answer.
double RunOneTest(HWND dialog, double& slowestResponseMs) {
  const HWND button = GetDlgItem(dialog, kDoTest);
  slowestResponseMs = 0;
  if (!IsWindowEnabled(button)) {
    Fail("Do Test disabled before the click");
    return -1;
  }
  const double start = NowMs();
  Send(dialog, kDoTest, BM_CLICK);
  while (!IsWindowEnabled(button)) {
    if (NowMs() - start > kTestMs) {
      Fail("test did not end within ms", kTestMs);
      return -1;
    }
    const double response = ResponseMs(dialog);
    if (response > slowestResponseMs) slowestResponseMs = response;
    Sleep(5);
  }
  return NowMs() - start;
}

// A control's rectangle in the dialog's client coordinates.
RECT ControlRect(HWND dialog, int id) {
  RECT bounds = {};
  GetWindowRect(GetDlgItem(dialog, id), &bounds);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Resizes the dialog as a border drag does, ending at its first size;
// after each size the output box must keep its top-left corner and reach
// the client area's right and bottom edges, and every other control must
// stay where it was. (The template's own box may miss the edges by a
// rounded pixel before the first resize, so that state is not compared.)
void CheckResize(HWND dialog) {
  static const int kOtherControls[] = {1001, 1002, 1003, 1004, 1005, 1007, 1008};
  RECT before[std::size(kOtherControls)];
  for (size_t i = 0; i < std::size(kOtherControls); ++i) before[i] = ControlRect(dialog, kOtherControls[i]);
  const RECT outputBefore = ControlRect(dialog, kOutput);
  RECT window = {};
  GetWindowRect(dialog, &window);
  const int width = window.right - window.left, height = window.bottom - window.top;
  const int sizes[][2] = {{width + 200, height + 150}, {width - 100, height + 40}, {width, height}};
  for (size_t row = 0; row < std::size(sizes); ++row) {
    SetWindowPos(dialog, nullptr, 0, 0, sizes[row][0], sizes[row][1], SWP_NOMOVE | SWP_NOZORDER);
    RECT client = {};
    GetClientRect(dialog, &client);
    const RECT output = ControlRect(dialog, kOutput);
    if (output.left != outputBefore.left || output.top != outputBefore.top) Fail("output box moved; size row", row);
    if (output.right != client.right || output.bottom != client.bottom) {
      Fail("output box does not reach the client edges; size row", row);
    }
    for (size_t i = 0; i < std::size(kOtherControls); ++i) {
      if (!SameRect(ControlRect(dialog, kOtherControls[i]), before[i])) Fail("a control moved; id", kOtherControls[i]);
    }
  }
}

void WaitForFile(const std::wstring& path) {
  const double deadline = NowMs() + 60000;
  while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (NowMs() > deadline) {
      Fail("the file to wait for did not appear");
      return;
    }
    Sleep(50);
  }
}

// The output box's text into `text`, which has room for any report, and its
// length; -1 once the dialog no longer answers. The text comes with its
// length: a dialog that closes right after publishing may be gone before
// a second question.
LRESULT ShownText(HWND dialog, std::wstring& text) {
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(GetDlgItem(dialog, kOutput), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_NORMAL, 50, &copied)) {
    return -1;
  }
  return static_cast<LRESULT>(copied);
}

// The first and the last line of a report (its final CR LF ends the last
// line, it does not start an empty one).
void FirstAndLastLine(const std::wstring& text, std::wstring& first, std::wstring& last) {
  std::wstring body = text;
  if (body.size() >= 2 && body.compare(body.size() - 2, 2, L"\r\n") == 0) body.resize(body.size() - 2);
  first = body.substr(0, body.find(L"\r\n"));
  const size_t lastBreak = body.rfind(L"\r\n");
  last = lastBreak == std::wstring::npos ? body : body.substr(lastBreak + 2);
}

// The close of a test that must publish nothing: when the output box was
// found filled, what it showed and when, so that a failure tells a
// watchdog that ended the test before the close was asked from a report
// published after it. Times in milliseconds from the click and from the
// post of the close, as the window between the last poll that found the
// box empty and the poll that found it filled.
struct PublishWatch {
  double clickMs;
  double closeMs;
  double lastEmptyMs;
};

void FailPublished(const std::wstring& shown, LRESULT units, const PublishWatch& watch, double seenMs) {
  std::wstring first, last;
  FirstAndLastLine(shown.substr(0, static_cast<size_t>(units)), first, last);
  char when[160];
  std::snprintf(when, sizeof(when), "%ld units shown %.0f..%.0f ms after the click, %.0f..%.0f ms after the close",
                static_cast<long>(units), watch.lastEmptyMs - watch.clickMs, seenMs - watch.clickMs,
                watch.lastEmptyMs - watch.closeMs, seenMs - watch.closeMs);
  Fail("a report was published while closing: " + std::string(when) + "; first line [" + Utf8(first) +
       "], last line [" + Utf8(last) + "]");
}

// Closes the dialog with its close box and waits for the process to end.
// With periodMs, the output box must stay empty until the end when the
// close was posted less than that watchdog period after clickMs, the click
// on "Do Test": before the first tick nothing can end a test that hangs,
// and once the close is asked nothing may be published. A close posted
// later (a busy machine can delay the driver by a second) may honestly
// follow a tick that ended the test, and is not judged. Returns whether the
// close was judged.
bool CloseAndCheckExit(HWND dialog, HANDLE process, int periodMs = 0, double clickMs = 0) {
  // Room for a timer that expires a little early (the system's tick).
  constexpr double kTickMarginMs = 50;
  PublishWatch watch = {clickMs, 0, NowMs()};
  // Room for the largest report and its terminator.
  std::wstring shown(140000, L'\0');
  const LRESULT shownBefore = periodMs > 0 ? ShownText(dialog, shown) : 0;
  if (shownBefore != 0) watch.lastEmptyMs = clickMs;  // the box was empty before the first test
  const double start = NowMs();
  PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  watch.closeMs = start;
  const bool judged = periodMs > 0 && start - clickMs < periodMs - kTickMarginMs;
  bool nothingPublished = judged;
  if (periodMs > 0) {
    std::printf("close posted %.0f ms after the click%s\n", start - clickMs,
                judged ? "" : ", not before the watchdog could tick: what is published is not judged");
    if (judged && shownBefore > 0) {
      Fail("a report was published before the close; units", shownBefore);
      nothingPublished = false;
    }
  }
  DWORD waited = WAIT_TIMEOUT;
  while (waited == WAIT_TIMEOUT && NowMs() - start < kExitMs) {
    if (nothingPublished) {
      const double polledMs = NowMs();
      const LRESULT units = ShownText(dialog, shown);
      if (units > 0) {
        FailPublished(shown, units, watch, NowMs());
        nothingPublished = false;
      } else if (units == 0) {
        watch.lastEmptyMs = polledMs;
      }
    }
    waited = WaitForSingleObject(process, 1);
  }
  if (waited != WAIT_OBJECT_0) {
    Fail("process did not exit after closing; ms", kExitMs);
    TerminateProcess(process, 99);
    return judged;
  }
  DWORD code = 99;
  GetExitCodeProcess(process, &code);
  std::printf("exit code=%lu close_ms=%.0f\n", code, NowMs() - start);
  if (code != 0) Fail("exit code", code);
  return judged;
}

// Sets NAME=VALUE in this process, so that the child inherits it.
bool ApplyEnvironment(const std::wstring& assignment) {
  const size_t equals = assignment.find(L'=');
  if (equals == std::wstring::npos || equals == 0) return false;
  const std::wstring name = assignment.substr(0, equals);
  const std::wstring value = assignment.substr(equals + 1);
  return SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str()) != 0 || value.empty();
}

// Writes Wine's DLL override for padscope.exe: "native", "builtin" or ""
// for disabled, under HKCU\Software\Wine\AppDefaults\padscope.exe.
bool ApplyWineDll(const std::wstring& assignment) {
  const size_t equals = assignment.find(L'=');
  if (equals == std::wstring::npos || equals == 0) return false;
  const std::wstring name = assignment.substr(0, equals);
  std::wstring mode = assignment.substr(equals + 1);
  if (mode == L"disabled") {
    mode.clear();
  } else if (mode != L"native" && mode != L"builtin") {
    return false;
  }
  const LSTATUS status =
      RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\padscope.exe\\DllOverrides", name.c_str(),
                      REG_SZ, mode.c_str(), static_cast<DWORD>((mode.size() + 1) * sizeof(wchar_t)));
  return status == ERROR_SUCCESS;
}

void RecordReport(const Options& options, int testNumber, const std::wstring& text) {
  if (options.outPrefix.empty()) return;
  const std::wstring base = options.outPrefix + L"." + std::to_wstring(testNumber);
  if (!WriteUtf8(base + L".txt", text)) Fail("cannot write the report of test", testNumber);
  // Placeholders for the machine's own values (see report_normalizer.h).
  const std::string normalized = NormalizeReport(Utf8(text));
  FILE* file = _wfopen((base + L".normalized.txt").c_str(), L"wb");
  if (file == nullptr || std::fwrite(normalized.data(), 1, normalized.size(), file) != normalized.size()) {
    Fail("cannot write the normalized report of test", testNumber);
  }
  if (file != nullptr) std::fclose(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: padscope_driver [--env NAME=VALUE]... --exe PATH [--out PREFIX] STEP...\n");
    return 2;
  }
  for (const std::wstring& assignment : options.environment) {
    if (!ApplyEnvironment(assignment)) Fail("bad --env assignment");
  }
  for (const std::wstring& assignment : options.wineDlls) {
    if (!ApplyWineDll(assignment)) Fail("cannot set the Wine DLL override");
  }
  std::wstring directory = options.exe.substr(0, options.exe.find_last_of(L"\\/") + 1);
  std::wstring commandLine = L"\"" + options.exe + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(options.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
    Fail("cannot start padscope.exe; error", GetLastError());
    return 1;
  }
  CloseHandle(process.hThread);
  const HWND dialog = FindDialog(process.dwProcessId, process.hProcess);
  if (dialog == nullptr) {
    Fail("no PADSCOPE window appeared");
    TerminateProcess(process.hProcess, 99);
    return 1;
  }
  RECT bounds = {};
  GetWindowRect(dialog, &bounds);
  std::printf("window found at %ld,%ld size %ldx%ld\n", bounds.left, bounds.top, bounds.right - bounds.left,
              bounds.bottom - bounds.top);
  std::fflush(stdout);
  bool closed = false;
  int testNumber = 0;
  for (const Step& step : options.steps) {
    if (closed || failures > 0) break;
    switch (step.kind) {
      case StepKind::checkInitial:
        CheckInitialState(dialog);
        break;
      case StepKind::set:
        SetCheckBox(dialog, step.id, step.value);
        break;
      case StepKind::test: {
        double slowestResponseMs = 0;
        const double ms = RunOneTest(dialog, slowestResponseMs);
        if (ms < 0) break;
        const std::wstring text = OutputText(dialog);
        std::printf("test %d ms=%.0f units=%zu slowest_response_ms=%.0f\n", ++testNumber, ms, text.size(),
                    slowestResponseMs);
        std::fflush(stdout);
        RecordReport(options, testNumber, text);
        break;
      }
      case StepKind::closeDuringTest: {
        const double clickMs = NowMs();
        Send(dialog, kDoTest, BM_CLICK);
        Sleep(static_cast<DWORD>(step.id));
        const bool ended = IsWindowEnabled(GetDlgItem(dialog, kDoTest));
        const int periodMs = testNumber == 0 ? options.nothingPublishedPeriodMs : 0;
        // A close that came after the watchdog could tick may find the test ended.
        const bool judged = CloseAndCheckExit(dialog, process.hProcess, periodMs, clickMs);
        if (ended && (periodMs == 0 || judged)) Fail("the test was no longer running when closing");
        closed = true;
        break;
      }
      case StepKind::waitFor:
        WaitForFile(step.path);
        break;
      case StepKind::idle: {
        const std::wstring shown = OutputText(dialog);
        Sleep(static_cast<DWORD>(step.id));
        if (OutputText(dialog) != shown) Fail("the output box changed while no test ran");
        if (!IsWindowEnabled(GetDlgItem(dialog, kDoTest))) Fail("Do Test disabled while no test ran");
        break;
      }
      case StepKind::checkResize:
        CheckResize(dialog);
        break;
    }
  }
  if (!closed) CloseAndCheckExit(dialog, process.hProcess);
  CloseHandle(process.hProcess);
  std::printf("%s\n", failures == 0 ? "driver: ok" : "driver: FAILED");
  return failures == 0 ? 0 : 1;
}
