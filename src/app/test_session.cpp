#include "app/test_session.h"

#include "platform/platform.h"
#include "report/dialog_state.h"
#include "report/report_driver.h"
#include "res/resource_ids.h"
#include "run/watchdog.h"

namespace {

// How long the dialog thread waits for a terminated worker to be gone.
// TerminateThread only requests the end; until the handle is signalled the
// worker may still be writing the report. A thread stuck in a driver's
// kernel call may never be gone, so the wait is short and the dialog keeps
// answering its messages; the worker keeps its record either way (see
// WatchdogTick). The wait is only made after TerminateThread:
// a live worker may be blocked sending its finish request to this very
// thread, which does not pump messages while it waits.
constexpr DWORD kHungWorkerWaitMs = 50;

constexpr UINT kTimerPeriodMs = kWatchdogPeriodMs;

HCURSOR waitCursor = nullptr;
bool workerTerminated = false;
bool closing = false;  // on the dialog thread only

HWND DoTestButton(const DialogState& state) { return GetDlgItem(DialogWindowOf(state), IDC_DO_TEST); }

// "Do Test" is disabled from the start of a test to the end of FinishTest and
// only the dialog thread changes it, so on that thread it tells whether a
// test runs, also when no worker could be created.
bool TestIsRunning(const DialogState& state) { return !IsWindowEnabled(DoTestButton(state)); }

uint8_t IsChecked(HWND dialog, int controlId) { return IsDlgButtonChecked(dialog, controlId) == BST_CHECKED ? 1 : 0; }

// The end-to-end tests build a variant of the program whose terminations
// have no effect, standing in for a worker stuck where the system cannot
// end it; the product always terminates.
#ifdef PADSCOPE_WORKER_OUTLIVES_TERMINATION
BOOL EndThread(HANDLE, DWORD) { return TRUE; }
#else
BOOL EndThread(HANDLE thread, DWORD exitCode) { return TerminateThread(thread, exitCode); }
#endif

// Terminates the worker and waits up to waitMs for it to be gone. True when
// no worker can write any more (none was running, or it has ended).
bool TerminateWorker(const DialogState& state, DWORD waitMs) {
  HANDLE worker = WorkerThreadOf(state);
  if (worker == nullptr) return true;
  EndThread(worker, 0);  // the wait below tells whether it worked
  workerTerminated = true;
  return WaitForSingleObject(worker, waitMs) == WAIT_OBJECT_0;
}

// A fresh record holding the running test as far as it got: the text up to
// the unit the worker had reached, the counters, the options and the
// handles. The old record is not written; the worker may still write to it.
// Null when memory is short.
DialogState* HandOverToFreshRecord(const DialogState& old) {
  DialogState* fresh = NewDialogState(old.dialog);
  if (fresh == nullptr) return nullptr;
  const char16_t* reached = ReadWritePosition(old);
  const size_t units = static_cast<size_t>(reached - old.ReportText);
  for (size_t i = 0; i < units; ++i) fresh->ReportText[i] = old.ReportText[i];
  fresh->writePosition = fresh->ReportText + units;
  fresh->progressCount = ReadProgress(old);
  fresh->lastSeenProgress = old.lastSeenProgress;
  fresh->savedCursor = old.savedCursor;
  fresh->workerThread = old.workerThread;
  fresh->overrideCounts = old.overrideCounts;
  fresh->safeMode = old.safeMode;
  fresh->noNullBuffer = old.noNullBuffer;
  fresh->showContextDevice = old.showContextDevice;
  fresh->ignoreNullQuery = old.ignoreNullQuery;
  return fresh;
}

// Ends the test on the dialog thread. The worker is blocked in its finish
// request, or the record is a fresh one it cannot reach, so this thread is
// the only writer of the report text.
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

void BeginClosing() { closing = true; }

bool WorkerWasTerminated() { return workerTerminated; }

void StartTest(DialogState& state) {
  HWND dialog = DialogWindowOf(state);
  EnableWindow(DoTestButton(state), FALSE);
  SetTimer(dialog, kWatchdogTimerId, kTimerPeriodMs, nullptr);
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
  platform::ReserveStackForGuard();  // a driver that overflows the stack costs one row too
  const platform::GuardOutcome outcome = platform::RunGuarded(RunReportThenFinish, &run);
  if (outcome.faulted && !run.handedOver) {
    AppendEnding(*run.state, kHardExceptionEnding);
    RequestFinish(run);
  }
  return 0;
}

DialogState* WatchdogTick(DialogState& state) {
  if (closing || !TestIsRunning(state)) return &state;
  if (!ProgressStoodStill(ReadProgress(state), state.lastSeenProgress)) return &state;
  // The test ends in a fresh record even when the worker was seen to end: a
  // terminated thread has been seen to make one more write just after its
  // end was signalled, and the old record may be left to it for good.
  const bool gone = TerminateWorker(state, kHungWorkerWaitMs);
  DialogState* fresh = HandOverToFreshRecord(state);
  if (fresh == nullptr && !gone) return &state;  // memory is short: the next tick tries again
  DialogState& ending = fresh != nullptr ? *fresh : state;
  AppendEnding(ending, kHungEnding);
  FinishTest(ending);
  return &ending;
}

void OnFinishRequest(DialogState& state, DWORD workerId) {
  HANDLE worker = WorkerThreadOf(state);
  // A request from a worker that the watchdog already replaced by "<hung>"
  // (its message may still be delivered) must not end a later test.
  if (closing || !TestIsRunning(state) || worker == nullptr || GetThreadId(worker) != workerId) return;
  FinishTest(state);
}

void EndWorkerForDestroy(DialogState& state) {
  HANDLE worker = WorkerThreadOf(state);
  if (worker == nullptr) return;  // none, or it has handed over and no longer writes
  EndThread(worker, 0);
  workerTerminated = true;
  TerminateProcess(GetCurrentProcess(), 0);
}
