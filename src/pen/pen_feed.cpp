#include "pen/pen_feed.h"

namespace {

void Publish(PenFeed& feed, PenSession& session, const DecodedPacket& packet) {
  const size_t at = feed.published.load(std::memory_order_relaxed);
  while (at - feed.taken.load(std::memory_order_acquire) >= kPenFeedSamples) {
    session.progress.fetch_add(1);  // waiting for the window is no hang of the library
    PenWindow none;
    WaitOnPenWindow(none, 1);
  }
  PenSample& sample = feed.samples[at % kPenFeedSamples];
  sample.packet = packet;
  sample.inProximity = session.inContext;
  sample.readAtUs = MicrosecondsNow();
  feed.published.store(at + 1, std::memory_order_release);
}

void Fail(PenFeed& feed, PenEventKind kind, uint32_t value) {
  if (feed.failure.load() != PenEventKind::started) return;  // the first reason stands
  feed.failureValue = value;
  feed.failure.store(kind);
}

}  // namespace

void FeedPenEvent(void* context, const PenSession& session, const PenEvent& event) {
  auto& feed = *static_cast<PenFeed*>(context);
  // The sink is handed the session read-only; the wait for room counts its
  // progress, which the session's own waits count too.
  auto& running = const_cast<PenSession&>(session);
  switch (event.kind) {
    case PenEventKind::callFaulted: {
      const uint32_t count = feed.faults.load();
      if (count < kPenFeedFaults) {
        feed.faultedCalls[count] = event.call;
        feed.faults.store(count + 1);
      }
      return;
    }
    case PenEventKind::libraryNotLoaded:
    case PenEventKind::entryPointsMissing:
    case PenEventKind::noDefaultContext:
    case PenEventKind::outOfMemory:
      Fail(feed, event.kind, event.value);
      return;
    case PenEventKind::contextOpened:
      if (session.context == nullptr) Fail(feed, event.kind, 0);
      return;
    case PenEventKind::readingStarted:
      feed.stage.store(PenFeedStage::reading);
      return;
    case PenEventKind::packet:
      Publish(feed, running, *event.packet);
      return;
    case PenEventKind::readingEnded:
      feed.stage.store(PenFeedStage::ended);
      return;
    case PenEventKind::summary:
      feed.summarised.store(true);
      return;
    case PenEventKind::hardException:
      feed.hardExceptionCall = event.call;
      feed.hardException.store(true);
      feed.stage.store(PenFeedStage::ended);
      return;
    default:
      return;
  }
}

size_t DrainPenFeed(PenFeed& feed, void (*take)(void* context, const PenSample& sample), void* context) {
  const size_t published = feed.published.load(std::memory_order_acquire);
  size_t at = feed.taken.load(std::memory_order_relaxed);
  const size_t count = published - at;
  for (; at != published; ++at) {
    take(context, feed.samples[at % kPenFeedSamples]);
    feed.taken.store(at + 1, std::memory_order_release);
  }
  return count;
}
