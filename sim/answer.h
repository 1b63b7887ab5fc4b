// The one operation of the simulated library: answer a WTInfoW query from
// the active profile, misbehaving where the profile says so.
#pragma once

#include <cstdint>

#include "profile.h"

namespace sim {

// output null: the size probe, returns the answer's byte count (0: no such
// item). Otherwise writes the answer there and returns the bytes written.
// The caller's output must be large enough for the answer; the profile
// decides whether more is written.
uint32_t AnswerQuery(uint32_t category, uint32_t index, void* output);

// Faults, raises or hangs as told; returns at once for Misconduct::none.
// hangOnce hangs only the first time in the process, whichever entry point
// asks.
void Misbehave(Misconduct misconduct, uint32_t raiseCode);

}  // namespace sim
