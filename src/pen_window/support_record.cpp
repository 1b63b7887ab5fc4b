#include "pen_window/support_record.h"

#include "exports/answer_record.h"
#include "pen/pen_system.h"
#include "pen_window/pen_run.h"
#include "report/dialog_state.h"

bool RecordForSupport(PenRun& run, bool hung, std::string& profile, std::string& error) {
  // What the window did, as padscope-report's options: the diagnosis, and
  // a pen check as long as the session has read so far, so that a replay
  // reads the recorded packets in the same time.
  RecordingExtras extras;
  const RunPhase phase = run.phase.load();
  if (phase == RunPhase::pen || phase == RunPhase::ended) {
    extras.options = " --diagnose";
    extras.system = &run.system;
    extras.slots = run.slots;
  }
  LockPenRecord(run);
  if (run.pen.ran) {
    const uint64_t elapsed = run.pen.readingStarted != 0 ? MillisecondsNow() - run.pen.readingStarted : 0;
    extras.options += " --pen=" + std::to_string(elapsed / 1000 + 1);
    extras.pen = &run.pen;
  }
  const bool recorded = RecordProfile(run.log, run.report->outcome, hung, run.switches, profile, error, extras);
  UnlockPenRecord(run);
  return recorded;
}
