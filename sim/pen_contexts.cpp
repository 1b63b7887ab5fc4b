#include "pen_contexts.h"

#include <atomic>
#include <cstddef>
#include <cstring>

#include "active_profile.h"
#include "answer.h"
#include "sim_system.h"
#include "wintab/wintab_binding.h"

namespace sim {
namespace {

// Contexts are used by one thread of the host at a time; a slot is claimed
// atomically, the rest of it belongs to that thread.
struct SimContext {
  std::atomic<bool> open{false};
  bool enabled = false;
  bool clockStarted = false;
  uint64_t clockStartMs = 0;
  uint32_t packetData = 0;
  void* window = nullptr;
  size_t nextPacket = 0;
  const Profile* profile = nullptr;  // the profile at open: profiles are never freed
};

constexpr size_t kMaxContexts = 16;
SimContext contexts[kMaxContexts];

// Handles are the slot numbers from the profile's first handle (1 unless it
// says otherwise); a host may see them in pkContext.
uintptr_t FirstHandle() { return static_cast<uintptr_t>(CurrentProfile().profile.firstHandle); }

void* HandleOf(size_t slot) { return reinterpret_cast<void*>(FirstHandle() + slot); }

SimContext* ContextOf(void* handle) {
  const auto number = reinterpret_cast<uintptr_t>(handle);
  const uintptr_t first = FirstHandle();
  if (number < first || number - first >= kMaxContexts || !contexts[number - first].open.load()) return nullptr;
  return &contexts[number - first];
}

const PenCallBehaviour& BehaviourOf(PenEntry entry) {
  return CurrentProfile().profile.penCalls[static_cast<size_t>(entry)];
}

void MisbehaveAfter(const PenCallBehaviour& behaviour) { Misbehave(behaviour.misconduct, behaviour.raiseCode); }

void StartClock(SimContext& context) {
  if (context.clockStarted) return;
  context.clockStarted = true;
  context.clockStartMs = MonotonicMilliseconds();
}

// Writes one record of the fields in `packetData`, each aligned to its own
// size as a compiler lays out the standard's packet record (the handle to
// the pointer's size), the record's size a multiple of its widest field.
// Byte by byte through a volatile pointer: the bytes reach the host's
// buffer as a driver's plain stores, a write past its end included.
class RecordWriter {
 public:
  explicit RecordWriter(volatile uint8_t* record) : record_(record) {}

  void Put(uint64_t value, size_t width) {
    Align(width);
    for (size_t k = 0; k < width; ++k) record_[offset_ + k] = static_cast<uint8_t>(value >> (8 * k));
    offset_ += width;
    if (width > widest_) widest_ = width;
  }
  void PutSigned(int32_t value) { Put(static_cast<uint32_t>(value), 4); }
  size_t Finish() {
    Align(widest_);
    return offset_;
  }

 private:
  void Align(size_t width) {
    while (offset_ % width != 0) record_[offset_++] = 0;
  }
  volatile uint8_t* record_;
  size_t offset_ = 0;
  size_t widest_ = 1;
};

size_t WritePacket(const ScriptedPacket& packet, uint64_t handle, uint32_t fields, volatile uint8_t* record) {
  using namespace wintab;
  RecordWriter writer(record);
  if (fields & PK_CONTEXT) writer.Put(packet.context.value_or(handle), sizeof(void*));
  if (fields & PK_STATUS) writer.Put(packet.status, 4);
  if (fields & PK_TIME) writer.Put(packet.time, 4);
  if (fields & PK_CHANGED) writer.Put(packet.changed, 4);
  if (fields & PK_SERIAL_NUMBER) writer.Put(packet.serial, 4);
  if (fields & PK_CURSOR) writer.Put(packet.cursor, 4);
  if (fields & PK_BUTTONS) writer.Put(packet.buttons, 4);
  if (fields & PK_X) writer.PutSigned(packet.x);
  if (fields & PK_Y) writer.PutSigned(packet.y);
  if (fields & PK_Z) writer.PutSigned(packet.z);
  if (fields & PK_NORMAL_PRESSURE) writer.Put(packet.normalPressure, 4);
  if (fields & PK_TANGENT_PRESSURE) writer.Put(packet.tangentPressure, 4);
  if (fields & PK_ORIENTATION) {
    for (int32_t value : packet.orientation) writer.PutSigned(value);
  }
  if (fields & PK_ROTATION) {
    for (int32_t value : packet.rotation) writer.PutSigned(value);
  }
  return writer.Finish();
}

// Fills the bytes that a profile makes the library write beyond the packets it has.
constexpr uint8_t kOverrunFill = 0xA5;

// How many packets of the script are ready now, from nextPacket on.
size_t ReadyPackets(const SimContext& context) {
  const std::vector<ScriptedPacket>& script = context.profile->packets;
  if (!context.enabled || !context.clockStarted || context.nextPacket >= script.size()) return 0;
  const uint64_t elapsed = MonotonicMilliseconds() - context.clockStartMs;
  size_t ready = 0;
  for (size_t n = context.nextPacket; n < script.size(); ++n) {
    if (static_cast<uint32_t>(script[n].time - script[0].time) > elapsed) break;
    ++ready;
  }
  return ready;
}

}  // namespace

void* OpenContext(void* window, const void* logContext, int enable) {
  const PenCallBehaviour& behaviour = BehaviourOf(PenEntry::open);
  void* handle = nullptr;
  if (!behaviour.fails && logContext != nullptr) {
    for (size_t slot = 0; slot < kMaxContexts && handle == nullptr; ++slot) {
      if (contexts[slot].open.exchange(true)) continue;
      SimContext& context = contexts[slot];
      std::memcpy(&context.packetData, static_cast<const uint8_t*>(logContext) +
                                           offsetof(wintab::LOGCONTEXTW, lcPktData), sizeof(uint32_t));
      context.profile = &CurrentProfile().profile;
      context.window = window;
      context.nextPacket = 0;
      context.clockStarted = false;
      context.enabled = enable != 0;
      if (context.enabled) StartClock(context);
      handle = HandleOf(slot);
    }
    if (handle != nullptr && behaviour.handle) handle = reinterpret_cast<void*>(static_cast<uintptr_t>(*behaviour.handle));
  }
  MisbehaveAfter(behaviour);
  return handle;
}

int EnableContext(void* handle, int enable) {
  const PenCallBehaviour& behaviour = BehaviourOf(PenEntry::enable);
  SimContext* context = ContextOf(handle);
  int result = 0;
  if (context != nullptr && !behaviour.fails) {
    context->enabled = enable != 0;
    if (context->enabled) StartClock(*context);
    result = 1;
  }
  MisbehaveAfter(behaviour);
  return result;
}

int GetPackets(void* handle, int maximum, void* packets) {
  const PenCallBehaviour& behaviour = BehaviourOf(PenEntry::packetsGet);
  SimContext* context = ContextOf(handle);
  int delivered = 0;
  if (context != nullptr && !behaviour.fails && packets != nullptr) {
    // Held back, not lost, while the window is hidden.
    const bool held = context->profile->packetsOnlyToShownWindow && !WindowIsShown(context->window);
    const size_t ready = held ? 0 : ReadyPackets(*context);
    const size_t asked = maximum > 0 ? static_cast<size_t>(maximum) : 0;
    const size_t taken = ready < asked ? ready : asked;
    const size_t records = behaviour.writtenPackets.value_or(static_cast<uint32_t>(taken));
    volatile uint8_t* out = static_cast<uint8_t*>(packets);
    const uint64_t ownHandle = reinterpret_cast<uintptr_t>(handle);
    for (size_t k = 0; k < records; ++k) {
      if (k < taken) {
        out += WritePacket(context->profile->packets[context->nextPacket + k], ownHandle, context->packetData, out);
      } else {
        uint8_t sizing[128];
        const size_t bytes = WritePacket(ScriptedPacket{}, 0, context->packetData, sizing);
        for (size_t i = 0; i < bytes; ++i) *out++ = kOverrunFill;
      }
    }
    context->nextPacket += taken;
    delivered = static_cast<int>(taken);
  }
  MisbehaveAfter(behaviour);
  return behaviour.returnedCount.value_or(delivered);
}

int CloseContext(void* handle) {
  const PenCallBehaviour& behaviour = BehaviourOf(PenEntry::close);
  SimContext* context = ContextOf(handle);
  int result = 0;
  if (context != nullptr && !behaviour.fails) {
    context->enabled = false;
    context->open.store(false);
    result = 1;
  }
  MisbehaveAfter(behaviour);
  return result;
}

}  // namespace sim
