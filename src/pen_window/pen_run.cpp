#include "pen_window/pen_run.h"

#include <new>

#include "platform/windows_headers.h"
#include "platform/platform.h"
#include "report/dialog_state.h"
#include "report/report_driver.h"
#include "run/watchdog.h"

namespace {

// Room for every step a report can make (the text holds about 3,500 rows
// before it is full) and for the answers the recording keeps.
constexpr uint32_t kLogEntries = 16384;
constexpr uint32_t kLogBytes = 16u * 1024u * 1024u;

// A session reads until it is stopped: a day is beyond any sitting.
constexpr uint32_t kSessionSeconds = 24u * 60u * 60u;

// Each event kept for the recording, then handed to the window.
void RecordAndFeed(void* context, const PenSession& session, const PenEvent& event) {
  auto& run = *static_cast<PenRun*>(context);
  LockPenRecord(run);
  RecordPenEvent(run.pen, session, event);
  UnlockPenRecord(run);
  FeedPenEvent(&run.feed, session, event);
}

void RunPen(PenRun& run) {
  PenSettings settings;
  settings.seconds = kSessionSeconds;
  settings.safeMode = run.switches.safeMode;
  settings.noNullBuffer = run.switches.noNullBuffer;
  settings.hostWindow = run.hostWindow;
  PenSession* session = NewPenSession(settings, &RecordAndFeed, &run);
  if (session == nullptr) return;
  run.session.store(session);
  run.phase.store(RunPhase::pen);
  // A stop asked before the session existed ends it at its first look.
  if (run.stopRequested.load()) session->stopRequested.store(true);
  RunPenSession(session);
}

DWORD WINAPI RunMain(LPVOID parameter) {
  auto& run = *static_cast<PenRun*>(parameter);
  platform::ReserveStackForGuard();  // a driver that overflows the stack costs one row too
  RunReportUnderGuard(*run.report);
  AppendFinalLineBreak(*run.report);
  TerminateReport(*run.report);
  // The diagnosis watches its own questions; a tablet that answered the
  // report in full is then read live.
  run.phase.store(RunPhase::diagnosis);
  run.slots = AskCursorSlots(run.log, run.report->outcome, false, run.switches);
  run.system = LookAtSystem(run.log);
  run.diagnosis =
      DiagnoseRun(run.log, run.report->outcome, false, run.slots, run.system, run.switches.safeMode != 0);
  if (run.report->outcome.ending == RunEnding::complete && !PenRunSlotsStuck(run) && !run.stopRequested.load()) {
    RunPen(run);
  }
  run.phase.store(RunPhase::ended);
  return 0;
}

}  // namespace

PenRun* StartPenRun(void* window) {
  auto* run = new (std::nothrow) PenRun;
  if (run == nullptr) return nullptr;
  run->hostWindow = window;
  run->report = NewDialogState(nullptr);
  run->logEntries = new (std::nothrow) AnswerLogEntry[kLogEntries];
  run->logBytes = new (std::nothrow) uint8_t[kLogBytes];
  if (run->report == nullptr || run->logEntries == nullptr || run->logBytes == nullptr) {
    DeletePenRun(run);
    return nullptr;
  }
  AttachAnswerLogStorage(run->log, run->logEntries, kLogEntries, run->logBytes, kLogBytes);
  run->report->answerLog = &run->log;
  ApplySwitches(run->switches, *run->report);
  ResetReport(*run->report);
  run->thread = CreateThread(nullptr, 0, &RunMain, run, 0, nullptr);
  if (run->thread == nullptr) {
    DeletePenRun(run);
    return nullptr;
  }
  return run;
}

void StopPenRun(PenRun& run) {
  run.stopRequested.store(true);
  if (PenSession* session = run.session.load()) session->stopRequested.store(true);
}

bool PenRunEnded(const PenRun& run) { return WaitForSingleObject(static_cast<HANDLE>(run.thread), 0) == WAIT_OBJECT_0; }

int32_t PenRunProgress(const PenRun& run) {
  const PenSession* session = run.session.load();
  return ReadProgress(*run.report) + (session != nullptr ? session->progress.load() : 0);
}

const char16_t* PenRunCallUnderWay(const PenRun& run) {
  if (const PenSession* session = run.session.load()) return PenCallUnderWay(*session);
  // The report's row whose call never returned is the last one logged.
  const uint32_t count = *static_cast<const volatile uint32_t*>(&run.log.entryCount);
  if (count == 0) return nullptr;
  const AnswerLogEntry& entry = run.log.entries[count - 1];
  if (entry.step == LoggedStep::load) return u"LoadLibrary(\"WINTAB32.DLL\")";
  if (entry.step == LoggedStep::release) return u"FreeLibrary()";
  if (entry.step == LoggedStep::availability) return u"WTInfoW(0, 0, NULL)";
  return entry.rowLabel;
}

void DeletePenRun(PenRun* run) {
  if (run == nullptr) return;
  if (run->thread != nullptr) CloseHandle(static_cast<HANDLE>(run->thread));
  if (PenSession* session = run->session.load()) DeletePenSession(session);
  if (!PenRunSlotsStuck(*run)) delete run->slots;
  DeleteDialogState(run->report);
  delete[] run->logEntries;
  delete[] run->logBytes;
  delete run;
}

bool PenRunSlotsStuck(const PenRun& run) { return run.slots != nullptr && run.slots->ran && !run.slots->ended; }

void LockPenRecord(PenRun& run) {
  while (run.penRecordBusy.exchange(true, std::memory_order_acquire)) Sleep(0);
}

void UnlockPenRecord(PenRun& run) { run.penRecordBusy.store(false, std::memory_order_release); }
