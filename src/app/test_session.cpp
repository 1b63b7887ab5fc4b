#include "app/test_session.h"

#include "platform/platform.h"
#include "report/dialog_state.h"
#include "report/report_driver.h"
#include "res/resource_ids.h"

namespace {

// How long the dialog thread waits for a terminated worker to be gone.
// TerminateThread only requests the end; until the handle is signalled the
// worker may still be writing the report. The waits are bounded so that a
// thread the system fails to end cannot freeze the dialog for good, and they
// are only made after TerminateThread: a live worker may be blocked sending
// its finish request to this very thread, which does not pump messages
// while it waits.
constexpr DWORD kHungWorkerWaitMs = 2000;
constexpr DWORD kDestroyWorkerWaitMs = 5000;

HCURSOR waitCursor = nullptr;
bool workerTerminated = false;

HWND DoTestButton(const DialogState& state) { return GetDlgItem(DialogWindowOf(state), IDC_DO_TEST); }

// "Do Test" is disabled from the start of a test to the end of FinishTest and
// only the dialog thread changes it, so on that thread it tells whether a
// test runs, also when no worker could be created.
bool TestIsRunning(const DialogState& state) { return !IsWindowEnabled(DoTestButton(state)); }

uint8_t IsChecked(HWND dialog, int controlId) { return IsDlgButtonChecked(dialog, controlId) == BST_CHECKED ? 1 : 0; }

// The worker increments the counter with plain writes; the watchdog only
// compares it for equality once a second, so a fresh read of the aligned
// 32-bit value is all it needs.
int32_t ReadProgress(const DialogState& state) { return *static_cast<const volatile int32_t*>(&state.progressCount); }

// Terminates the worker and waits up to waitMs for it to be gone. True when
// no worker can write any more (none was running, or it has ended).
bool TerminateWorker(const DialogState& state, DWORD waitMs) {
  HANDLE worker = WorkerThreadOf(state);
  if (worker == nullptr) return true;
  TerminateThread(worker, 0);  // the wait below tells whether it worked
  workerTerminated = true;
  return WaitForSingleObject(worker, waitMs) == WAIT_OBJECT_0;
}

// Ends the test on the dialog thread. The worker is gone or blocked in its
// finish request, so this thread is the only writer of the report text.
void FinishTest(DialogState& state) {
  HWND dialog = DialogWindowOf(state);
  AppendFinalLineBreak(state);
  KillTimer(dialog, kWatchdogTimerId);
  TerminateReport(state);
  SetDlgItemTextW(dialog, IDC_OUTPUT, reinterpret_cast<const wchar_t*>(state.ReportText));
  // The handle closed here is the one StartTest stored: both run on this
  // thread, and StartTest has returned before any finish request or tick
  // can be handled.
  if (HANDLE worker = WorkerThreadOf(state)) CloseHandle(worker);
  state.workerThread = nullptr;
  SetCursor(static_cast<HCURSOR>(state.savedCursor));
  EnableWindow(DoTestButton(state), TRUE);
}

// What the worker runs under its outermost guard. handedOver is set before
// the finish request goes out: from then on the dialog thread may have ended
// the test, and the worker must not write again.
struct WorkerRun {
  DialogState* state;
  bool handedOver;
};

void RequestFinish(WorkerRun& run) {
  run.handedOver = true;
  SendMessageW(DialogWindowOf(*run.state), kFinishRequestMessage, GetCurrentThreadId(), 0);
}

void RunReportThenFinish(void* argument) {
  auto& run = *static_cast<WorkerRun*>(argument);
  RunReport(*run.state);
  RequestFinish(run);
}

}  // namespace

void PrepareTestSession() { waitCursor = LoadCursorW(nullptr, IDC_WAIT); }

bool WorkerWasTerminated() { return workerTerminated; }

void StartTest(DialogState& state) {
  HWND dialog = DialogWindowOf(state);
  EnableWindow(DoTestButton(state), FALSE);
  SetTimer(dialog, kWatchdogTimerId, kWatchdogPeriodMs, nullptr);
  state.savedCursor = SetCursor(waitCursor);
  ResetReport(state);
  state.overrideCounts = IsChecked(dialog, IDC_OVERRIDE_COUNTS);
  state.safeMode = IsChecked(dialog, IDC_SAFE_MODE);
  state.noNullBuffer = IsChecked(dialog, IDC_NO_NULL_BUFFER);
  state.showContextDevice = IsChecked(dialog, IDC_SHOW_CONTEXT_DEVICE);
  state.ignoreNullQuery = IsChecked(dialog, IDC_IGNORE_NULL_QUERY);
  // The disabled "Do Test" is painted before the worker exists. A driver
  // stuck while loading or unloading holds the system's loader lock, and
  // painting can need that lock the first time a control is drawn in a new
  // state; the watchdog ticks on this thread, so it must never wait there.
  UpdateWindow(dialog);
  // A worker that cannot be created leaves workerThread null; the first tick
  // then finds no progress and ends the test with "<hung>".
  state.workerThread = CreateThread(nullptr, 0, WorkerMain, &state, 0, nullptr);
}

DWORD WINAPI WorkerMain(LPVOID parameter) {
  if (parameter == nullptr) return 0;
  WorkerRun run = {static_cast<DialogState*>(parameter), false};
  const platform::GuardOutcome outcome = platform::RunGuarded(RunReportThenFinish, &run);
  if (outcome.faulted && !run.handedOver) {
    AppendEnding(*run.state, kHardExceptionEnding);
    RequestFinish(run);
  }
  return 0;
}

void WatchdogTick(DialogState& state) {
  if (!TestIsRunning(state)) return;
  const int32_t progress = ReadProgress(state);
  if (progress != state.lastSeenProgress) {
    state.lastSeenProgress = progress;
    return;
  }
  // Not yet confirmed gone: leave the record alone and try again next tick.
  if (!TerminateWorker(state, kHungWorkerWaitMs)) return;
  AppendEnding(state, kHungEnding);
  FinishTest(state);
}

void OnFinishRequest(DialogState& state, DWORD workerId) {
  HANDLE worker = WorkerThreadOf(state);
  // A request from a worker that the watchdog already replaced by "<hung>"
  // (its message may still be delivered) must not end a later test.
  if (!TestIsRunning(state) || worker == nullptr || GetThreadId(worker) != workerId) return;
  FinishTest(state);
}

bool EndWorkerForDestroy(DialogState& state) {
  HANDLE worker = WorkerThreadOf(state);
  if (worker == nullptr) return true;  // none, or it has handed over and no longer writes
  const bool gone = TerminateWorker(state, kDestroyWorkerWaitMs);
  CloseHandle(worker);
  state.workerThread = nullptr;
  return gone;
}
