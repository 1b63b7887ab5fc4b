#include "profile.h"

namespace sim {

const std::vector<uint8_t>* Profile::FindAnswer(uint32_t category, uint32_t index) const {
  for (auto entry = items.rbegin(); entry != items.rend(); ++entry) {
    if (entry->index == index && entry->categories.Contains(category)) return &entry->bytes;
  }
  return nullptr;
}

void MergeBehaviour(CallBehaviour& into, const CallBehaviour& update) {
  if (update.misconduct != Misconduct::none) {
    into.misconduct = update.misconduct;
    into.raiseCode = update.raiseCode;
  }
  if (update.returnedCount) into.returnedCount = update.returnedCount;
  if (update.writtenBytes) into.writtenBytes = update.writtenBytes;
}

CallBehaviour Profile::BehaviourFor(uint32_t category, uint32_t index, CallPhase phase) const {
  CallBehaviour merged;
  for (const BehaviourEntry& entry : behaviours) {
    if (entry.index == index && entry.phase == phase && entry.categories.Contains(category)) {
      MergeBehaviour(merged, entry.behaviour);
    }
  }
  return merged;
}

bool Profile::Lacks(const char* entryPoint) const {
  for (const std::string& name : lackedEntryPoints) {
    if (name == entryPoint) return true;
  }
  return false;
}

}  // namespace sim
