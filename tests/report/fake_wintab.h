// An in-process stand-in for WTInfoW with the library's calling convention.
// Tests script each (category, index) item: what the size probe and the
// real call return, the bytes the real call writes, or a real processor
// fault in either. Every call is logged in a fixed log, so that scripting
// and answering allocate nothing once the items are added.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "wintab/wintab_binding.h"

namespace fakewintab {

enum class Step : uint8_t {
  Answer,   // return `count`; the real call writes the item's bytes
  Fault,    // write through a bad pointer: an access violation / SIGSEGV
  Overrun,  // the real call writes `count` bytes of 0x5A, past any buffer
  Throw,    // raise a C++ exception out of the library
};

struct Behaviour {
  Step step = Step::Answer;
  uint32_t count = 0;
};

struct Call {
  uint32_t category;
  uint32_t index;
  bool withBuffer;
};

inline constexpr size_t kMaxLoggedCalls = 4096;

// Forgets every item and the call log. Unscripted items answer 0.
void Reset();

// An item whose size probe and real call both answer the byte count of
// `bytes`, and whose real call writes them.
void AddAnswer(uint32_t category, uint32_t index, const std::vector<uint8_t>& bytes);

// An item with its own probe and real-call behaviour; the real call writes
// `bytes` when it answers.
void AddItem(uint32_t category, uint32_t index, Behaviour probe, Behaviour real,
             const std::vector<uint8_t>& bytes = {});

size_t CallCount();
const Call& CallAt(size_t position);
bool LogOverflowed();

// The entry point to put into DialogState::infoEntry.
uint32_t PADSCOPE_WINTAB_API WTInfoW(uint32_t category, uint32_t index, void* output);

}  // namespace fakewintab
