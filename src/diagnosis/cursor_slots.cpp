#include "diagnosis/cursor_slots.h"

#include <new>

#include "platform/platform.h"
#include "report/answer_logging.h"
#include "report/dialog_state.h"
#include "report/library_calls.h"
#include "report/query_info.h"
#include "report/report_switches.h"
#include "run/watched_run.h"
#include "wintab/wintab_binding.h"

namespace {

using namespace wintab;

// What the worker asks; set before it starts (one probe per process).
struct SlotPlan {
  uint32_t first;
  uint32_t count;
};
SlotPlan plan;

CallRecord* RealOf(AnswerLogEntry* entry) { return entry != nullptr ? &entry->real : nullptr; }

void AskSlots(DialogState& state) {
  // Progress before the load, so that a slow load is judged like the report's.
  Append(state, u"cursor slots");
  LibraryCall call{nullptr, false};
  AnswerLogEntry* load = BeginLoggedStep(state, LoggedStep::load, 0, 0);
  CallWhenSafe(state, &CallLoadLibrary, &call, RealOf(load));
  if (load != nullptr) load->real.count = call.library != nullptr ? 1 : 0;
  if (call.library == nullptr) return;
  state.infoEntry = reinterpret_cast<WTInfoWEntry>(platform::FindEntryPoint(call.library, kInfoEntryName));
  if (state.infoEntry != nullptr) {
    for (uint32_t k = 0; k < plan.count; ++k) {
      Label(state, u"CSR_NAME");
      QueryInfo(state, WTI_CURSORS + plan.first + k, CSR_NAME);
      EndLoggedRow(state);
    }
  }
  AnswerLogEntry* release = BeginLoggedStep(state, LoggedStep::release, 0, 0);
  if (CallWhenSafe(state, &CallReleaseLibrary, &call, RealOf(release)) && release != nullptr) {
    release->real.count = call.released ? 1 : 0;
  }
}

void AskSlotsThunk(void* argument) { AskSlots(*static_cast<DialogState*>(argument)); }

void ProbeBody(DialogState& state) {
  const platform::GuardOutcome guard = platform::RunGuarded(&AskSlotsThunk, &state);
  if (guard.faulted) {
    state.outcome.ending = RunEnding::hardException;
    state.outcome.hardExceptionCode = guard.code;
  } else {
    state.outcome.ending = RunEnding::complete;
  }
}

}  // namespace

uint32_t ProbedSlotsEnd(uint32_t cursorCount) {
  const uint64_t multiple = (static_cast<uint64_t>(cursorCount) + 2) / 3 * 3;
  const uint64_t end = multiple + 3;
  return end > 0xFFFFFFFFu - WTI_CURSORS ? 0xFFFFFFFFu - WTI_CURSORS : static_cast<uint32_t>(end);
}

CursorSlotProbe* ProbeCursorSlots(uint32_t cursorCount, const ReportSwitches& switches) {
  auto* probe = new (std::nothrow) CursorSlotProbe;
  if (probe == nullptr) return nullptr;
  DialogState* state = NewDialogState(nullptr);
  if (state == nullptr) return probe;
  const uint32_t end = ProbedSlotsEnd(cursorCount);
  plan = SlotPlan{cursorCount, end > cursorCount ? end - cursorCount : 0};
  if (plan.count > kMaxProbedSlots) plan.count = kMaxProbedSlots;
  probe->firstSlot = plan.first;
  probe->slotCount = plan.count;
  AttachAnswerLogStorage(probe->log, probe->entries, sizeof(probe->entries) / sizeof(probe->entries[0]),
                         probe->bytes, sizeof(probe->bytes));
  state->answerLog = &probe->log;
  ApplySwitches(switches, *state);
  ResetReport(*state);
  probe->ran = true;
  probe->ended = RunWatched(*state, &ProbeBody);
  if (!probe->ended) return probe;  // the worker still holds the record
  probe->outcome = state->outcome;
  DeleteDialogState(state);
  return probe;
}
