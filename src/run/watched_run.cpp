#include "run/watched_run.h"

#include <chrono>
#include <cstdint>

#include "platform/platform.h"
#include "report/dialog_state.h"
#include "report/report_driver.h"
#include "run/watchdog.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <time.h>
#endif

namespace {

// The worker's whole life: the report under the guard that catches what
// escapes it, then the final line break and terminator.
void WorkerBody(DialogState& state) {
  platform::ReserveStackForGuard();  // a driver that overflows the stack costs one row too
  RunReportUnderGuard(state);
  AppendFinalLineBreak(state);
  TerminateReport(state);
}

// What a worker thread runs: the report, or other work watched the same way.
struct WorkerTask {
  void (*body)(void* argument);
  void* argument;
};

// A body on its record, as a task.
struct RecordJob {
  void (*body)(DialogState& state);
  DialogState* state;
};

void RunRecordJob(void* argument) {
  auto* job = static_cast<RecordJob*>(argument);
  job->body(*job->state);
}

#ifdef _WIN32
DWORD WINAPI WorkerMain(void* argument) {
  const auto* task = static_cast<const WorkerTask*>(argument);
  task->body(task->argument);
  return 0;
}

struct Worker {
  HANDLE handle = nullptr;
  bool Start(WorkerTask& task) {
    handle = CreateThread(nullptr, 0, &WorkerMain, &task, 0, nullptr);
    return handle != nullptr;
  }
  bool WaitEnded(uint32_t milliseconds) { return WaitForSingleObject(handle, milliseconds) == WAIT_OBJECT_0; }
  void Close() { CloseHandle(handle); }
};
#else
void* WorkerMain(void* argument) {
  const auto* task = static_cast<const WorkerTask*>(argument);
  task->body(task->argument);
  return nullptr;
}

struct Worker {
  pthread_t thread{};
  bool Start(WorkerTask& task) { return pthread_create(&thread, nullptr, &WorkerMain, &task) == 0; }
  bool WaitEnded(uint32_t milliseconds) {
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    return pthread_timedjoin_np(thread, nullptr, &deadline) == 0;
  }
  void Close() {}
};
#endif

}  // namespace

bool RunWatched(DialogState& state, void (*body)(DialogState& state)) {
  // Static: a worker that hangs keeps reading its job after this returns.
  static RecordJob job;
  static WorkerTask task;
  job = RecordJob{body, &state};
  task = WorkerTask{&RunRecordJob, &job};
  Worker worker;
  if (!worker.Start(task)) return false;
  for (;;) {
    if (worker.WaitEnded(kWatchdogPeriodMs)) {
      worker.Close();
      return true;
    }
    if (ProgressStoodStill(ReadProgress(state), state.lastSeenProgress)) return false;
  }
}

std::u16string RunWatchedTest(DialogState& state, bool& hung) {
  hung = false;
  ResetReport(state);
  if (RunWatched(state, &WorkerBody)) return std::u16string(state.ReportText, ReportLength(state));
  // No progress for a whole period (or no worker at all): the text so far
  // ends in "<hung>". The worker may still be stuck inside the library, so
  // the record is not written again; the text is copied instead.
  hung = true;
  const char16_t* end = ReadWritePosition(state);
  std::u16string text(static_cast<const char16_t*>(state.ReportText), end);
  text += kHungEnding;
  text += u"\r\n";
  return text;
}

bool RunWatchedWork(void (*body)(void* argument), void* argument, const std::atomic<int32_t>& progress,
                    void (*poll)(void* context), void* pollContext) {
  using Clock = std::chrono::steady_clock;
  constexpr uint32_t kPollPeriodMs = 20;
  // Outlives a worker left behind stuck: the process ends before it would.
  static WorkerTask task;
  task = WorkerTask{body, argument};
  Worker worker;
  if (!worker.Start(task)) return false;
  int32_t lastSeen = progress.load();
  Clock::time_point lastTick = Clock::now();
  for (;;) {
    const bool ended = worker.WaitEnded(kPollPeriodMs);
    poll(pollContext);
    if (ended) {
      worker.Close();
      return true;
    }
    if (Clock::now() - lastTick < std::chrono::milliseconds(kWatchdogPeriodMs)) continue;
    lastTick = Clock::now();
    if (ProgressStoodStill(progress.load(), lastSeen)) return false;
  }
}
