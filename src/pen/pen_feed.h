// A pen session told to a window: the session's sink on its worker puts
// every packet into a ring that the window's thread drains at its own pace,
// and keeps the few facts a window shows besides (how far the session got,
// the calls that faulted, why it could not read). Nothing is lost: when the
// ring is full the worker waits, counting progress so that the watchdog
// does not take the wait for a hang. Neither thread ever waits for the
// other's lock: there is none.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "pen/pen_session.h"

inline constexpr size_t kPenFeedSamples = 4096;
inline constexpr size_t kPenFeedFaults = 8;

struct PenSample {
  DecodedPacket packet;
  bool inProximity;
  uint64_t readAtUs;  // MicrosecondsNow() when the packet was read
};

enum class PenFeedStage : uint8_t {
  starting,  // loading the library, reading the context, opening it
  reading,   // the session's record holds the layout, the axes and the context: packets come
  ended,     // the reading is over; `summarised` says whether the verdict is final
};

struct PenFeed {
  PenSample samples[kPenFeedSamples];
  std::atomic<size_t> published{0};  // samples the worker has written
  std::atomic<size_t> taken{0};      // samples the window has drained
  std::atomic<PenFeedStage> stage{PenFeedStage::starting};
  std::atomic<bool> summarised{false};  // the session judged its verdict
  // The calls whose faults Safe Mode contained, in order (the first
  // kPenFeedFaults of them), and the one under way when a fault escaped.
  const char16_t* faultedCalls[kPenFeedFaults] = {};
  std::atomic<uint32_t> faults{0};
  std::atomic<bool> hardException{false};
  const char16_t* hardExceptionCall = nullptr;  // written before hardException
  // Why no packet could be read: one of libraryNotLoaded,
  // entryPointsMissing, noDefaultContext, outOfMemory or contextOpened (no
  // context); `started` while none. The value is the event's.
  std::atomic<PenEventKind> failure{PenEventKind::started};
  uint32_t failureValue = 0;  // written before failure
};

// The session's sink (context: the PenFeed). Runs on the session's worker.
void FeedPenEvent(void* context, const PenSession& session, const PenEvent& event);

// On the window's thread: hands every sample written so far to
// take(context, sample), in order, and frees their room. Returns how many.
size_t DrainPenFeed(PenFeed& feed, void (*take)(void* context, const PenSample& sample), void* context);
