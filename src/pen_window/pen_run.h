// One run of the pen window: the report and the diagnosis, then the live pen
// session until it is stopped, all on one worker thread, every call into the
// library guarded and named. The window's thread starts a run, reads how far
// it got, watches its progress once a second and drains its packets; it
// never waits for the worker.
//
// Ownership. The window owns a run until it is abandoned: a run whose worker
// is stuck in the library keeps its record for good (the worker may still
// write into it), and only a run whose worker has ended is deleted.
#pragma once

#include <atomic>
#include <cstdint>

#include "diagnosis/diagnose_run.h"
#include "exports/pen_record.h"
#include "pen/pen_feed.h"
#include "pen/pen_session.h"
#include "report/answer_log.h"
#include "report/report_switches.h"

struct DialogState;

enum class RunPhase : uint8_t {
  report,     // the report runs
  diagnosis,  // the diagnosis asks its own questions (watched by itself)
  pen,        // the pen session runs; `session` is set
  ended,      // the worker has nothing more to do
};

struct PenRun {
  DialogState* report = nullptr;
  AnswerLog log{};
  AnswerLogEntry* logEntries = nullptr;
  uint8_t* logBytes = nullptr;
  ReportSwitches switches;
  // Written by the worker before the phase leaves `diagnosis`.
  RunDiagnosis diagnosis;
  CursorSlotProbe* slots = nullptr;  // the diagnosis's own questions; kept by a worker stuck in them
  SystemFacts system;
  PenFeed feed;
  // The session's events for "Save for support...": written by the worker
  // and read by the window's thread, each while holding `penRecordBusy`.
  PenRecord pen;
  std::atomic<bool> penRecordBusy{false};
  std::atomic<PenSession*> session{nullptr};
  void* hostWindow = nullptr;  // the window the context is opened on
  std::atomic<RunPhase> phase{RunPhase::report};
  std::atomic<bool> stopRequested{false};
  void* thread = nullptr;
};

// Starts a run whose pen context is opened on `window`; null when memory is
// short or no worker could start.
PenRun* StartPenRun(void* window);

// Asks the run to end its reading (or not to begin it) soon.
void StopPenRun(PenRun& run);

// True once the worker has ended.
bool PenRunEnded(const PenRun& run);

// The worker's progress: report writes and the session's calls and pauses.
int32_t PenRunProgress(const PenRun& run);

// The call the worker is in: the session's, or the report row's label;
// null when none is known.
const char16_t* PenRunCallUnderWay(const PenRun& run);

// Only for a run whose worker has ended.
void DeletePenRun(PenRun* run);

// True when the diagnosis's own questions never came back.
bool PenRunSlotsStuck(const PenRun& run);

// Holds the session's recording still for the caller (a short spin: the
// worker holds it only while it keeps one event).
void LockPenRecord(PenRun& run);
void UnlockPenRecord(PenRun& run);
