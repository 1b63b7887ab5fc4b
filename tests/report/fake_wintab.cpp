#include "fake_wintab.h"

#include <cstring>
#include <stdexcept>

namespace fakewintab {
namespace {

struct Item {
  uint32_t category;
  uint32_t index;
  Behaviour probe;
  Behaviour real;
  std::vector<uint8_t> bytes;
};

std::vector<Item> items;
Call callLog[kMaxLoggedCalls];
size_t callCount = 0;
bool logOverflowed = false;

// A write through a pointer the compiler cannot see is bad.
[[noreturn]] void RaiseAccessViolation() {
  volatile uintptr_t badAddress = 16;
  *reinterpret_cast<volatile uint32_t*>(badAddress) = 1;
  for (;;) {
  }
}

const Item* Find(uint32_t category, uint32_t index) {
  for (const Item& item : items) {
    if (item.category == category && item.index == index) return &item;
  }
  return nullptr;
}

}  // namespace

void Reset() {
  items.clear();
  callCount = 0;
  logOverflowed = false;
}

void AddAnswer(uint32_t category, uint32_t index, const std::vector<uint8_t>& bytes) {
  const uint32_t size = static_cast<uint32_t>(bytes.size());
  AddItem(category, index, Behaviour{Step::Answer, size}, Behaviour{Step::Answer, size}, bytes);
}

void AddItem(uint32_t category, uint32_t index, Behaviour probe, Behaviour real,
             const std::vector<uint8_t>& bytes) {
  items.push_back(Item{category, index, probe, real, bytes});
}

size_t CallCount() { return callCount; }
const Call& CallAt(size_t position) { return callLog[position]; }
bool LogOverflowed() { return logOverflowed; }

uint32_t PADSCOPE_WINTAB_API WTInfoW(uint32_t category, uint32_t index, void* output) {
  if (callCount < kMaxLoggedCalls) {
    callLog[callCount++] = Call{category, index, output != nullptr};
  } else {
    logOverflowed = true;
  }
  const Item* item = Find(category, index);
  if (item == nullptr) return 0;
  const Behaviour& behaviour = output == nullptr ? item->probe : item->real;
  switch (behaviour.step) {
    case Step::Fault:
      RaiseAccessViolation();
    case Step::Throw:
      throw std::runtime_error("raised inside the library");
    case Step::Overrun:
      if (output != nullptr) {
        volatile uint8_t* out = static_cast<uint8_t*>(output);
        for (uint32_t i = 0; i < behaviour.count; ++i) out[i] = 0x5A;
      }
      return behaviour.count;
    case Step::Answer:
      break;
  }
  if (output != nullptr && !item->bytes.empty()) std::memcpy(output, item->bytes.data(), item->bytes.size());
  return behaviour.count;
}

}  // namespace fakewintab
