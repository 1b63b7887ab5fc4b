#include "answer.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "active_profile.h"
#include "processor_faults.h"
#include "sim_system.h"

namespace sim {
namespace {

// Set by the first hang-once call; the library stays loaded after its caller
// is terminated, so later calls find it set.
std::atomic<bool> hungOnce{false};

// Fills the bytes that a profile makes the library write beyond its answer.
constexpr uint8_t kOverrunFill = 0xA5;

}  // namespace

void Misbehave(Misconduct misconduct, uint32_t raiseCode) {
  switch (misconduct) {
    case Misconduct::none: break;
    case Misconduct::accessViolation: FaultAccessViolation(); break;
    case Misconduct::illegalInstruction: FaultIllegalInstruction(); break;
    case Misconduct::divideByZero: FaultDivideByZero(); break;
    case Misconduct::stackOverflow: FaultStackOverflow(); break;
    case Misconduct::raise: RaiseSoftwareException(raiseCode); break;
    case Misconduct::hang: HangForever(); break;
    case Misconduct::hangOnce:
      if (!hungOnce.exchange(true)) HangForever();
      break;
  }
}

uint32_t AnswerQuery(uint32_t category, uint32_t index, void* output) {
  const Profile& profile = CurrentProfile().profile;
  if (profile.answerDelayMs != 0) PauseMilliseconds(profile.answerDelayMs);
  const std::vector<uint8_t>* answer = profile.FindAnswer(category, index);
  const auto answerSize = static_cast<uint32_t>(answer == nullptr ? 0 : answer->size());
  if (output == nullptr) {
    const CallBehaviour behaviour = profile.BehaviourFor(category, index, CallPhase::probe);
    Misbehave(behaviour.misconduct, behaviour.raiseCode);
    return behaviour.returnedCount.value_or(answerSize);
  }
  const CallBehaviour behaviour = profile.BehaviourFor(category, index, CallPhase::real);
  const uint32_t written = behaviour.writtenBytes.value_or(answerSize);
  auto* bytes = static_cast<uint8_t*>(output);
  const uint32_t copied = std::min(written, answerSize);
  if (copied > 0) std::memcpy(bytes, answer->data(), copied);
  // Byte by byte through a volatile pointer: a real driver's stray writes
  // reach the caller's memory as plain stores, not as a library call that a
  // sanitizer of the host would check first.
  volatile uint8_t* stray = bytes;
  for (uint32_t i = copied; i < written; ++i) stray[i] = kOverrunFill;
  Misbehave(behaviour.misconduct, behaviour.raiseCode);
  return behaviour.returnedCount.value_or(written);
}

}  // namespace sim
