#include "report/query_info.h"

#include <cstring>

#include "platform/platform.h"
#include "report/answer_logging.h"
#include "report/dialog_state.h"

namespace {

// One call into the library, made under the Safe Mode guard. It holds no
// object with a destructor: after a fault the guard abandons this frame.
struct LibraryCall {
  wintab::WTInfoWEntry entry;
  uint32_t category;
  uint32_t index;
  void* output;
  uint32_t answer;
};

void CallLibrary(void* argument) {
  auto* call = static_cast<LibraryCall*>(argument);
  call->answer = call->entry(call->category, call->index, call->output);
}

// Asks the library once; false when a fault was contained by the guard.
// `record` (may be null) receives what became of the call.
bool AskLibrary(DialogState& state, uint32_t category, uint32_t index, void* output, uint32_t& answer,
                CallRecord* record) {
  LibraryCall call{state.infoEntry, category, index, output, 0};
  if (!CallWhenSafe(state, &CallLibrary, &call, record)) return false;
  answer = call.answer;
  if (record != nullptr) record->count = answer;
  return true;
}

CallRecord* ProbeRecord(AnswerLogEntry* entry) { return entry != nullptr ? &entry->probe : nullptr; }
CallRecord* RealRecord(AnswerLogEntry* entry) { return entry != nullptr ? &entry->real : nullptr; }

void EchoCount(DialogState& state, uint32_t count) { Append(state, u"{%3u} ", count); }

}  // namespace

bool CallWhenSafe(DialogState& state, void (*function)(void* argument), void* argument, CallRecord* record) {
  if (record != nullptr) record->state = CallState::underway;
  if (!state.safeMode) {
    function(argument);
    if (record != nullptr) record->state = CallState::returned;
    return true;
  }
  const platform::GuardOutcome guard = platform::RunGuarded(function, argument);
  if (!guard.faulted) {
    if (record != nullptr) record->state = CallState::returned;
    return true;
  }
  ++state.outcome.containedFaults;
  if (record != nullptr) {
    record->state = CallState::faulted;
    record->faultCode = guard.code;
  }
  Append(state, u"<exception>");
  return false;
}

void QueryInfo(DialogState& state, uint32_t category, uint32_t index) {
  state.lastQuerySize = 0;
  std::memset(state.queryBuffer, 0, sizeof(state.queryBuffer));

  AnswerLogEntry* logged = BeginLoggedStep(state, LoggedStep::query, category, index);
  uint32_t answer = 0;
  if (!state.noNullBuffer) {
    if (!AskLibrary(state, category, index, nullptr, answer, ProbeRecord(logged))) return;
    state.lastQuerySize = answer;
    EchoCount(state, answer);
    if (answer == 0) return;
    if (answer > sizeof(state.queryBuffer)) {
      // The library would write past the buffer; its answer is not asked.
      state.lastQuerySize = 0;
      Append(state, kAnswerTooLargeFormat);
      return;
    }
  }
  if (!AskLibrary(state, category, index, state.queryBuffer, answer, RealRecord(logged))) {
    state.lastQuerySize = 0;
    return;
  }
  LogAnswerBytes(state, logged, answer);
  state.lastQuerySize = answer;
  EchoCount(state, answer);
}

void ProbeInterface(DialogState& state) {
  state.lastQuerySize = 0;
  AnswerLogEntry* logged = BeginLoggedStep(state, LoggedStep::availability, wintab::kAvailability, 0);
  uint32_t answer = 0;
  if (!AskLibrary(state, wintab::kAvailability, 0, nullptr, answer, ProbeRecord(logged))) return;
  state.lastQuerySize = answer;
  EchoCount(state, answer);
}
