// The pen session told to a window: every packet reaches the window's
// thread once, in order, however far the window falls behind; the first
// reason the pen could not be read stands; faults and the stage are kept.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "pen/pen_feed.h"
#include "run/watched_run.h"

namespace {

PenEvent PacketEvent(const DecodedPacket& packet) {
  PenEvent event{};
  event.kind = PenEventKind::packet;
  event.packet = &packet;
  return event;
}

void Keep(void* context, const PenSample& sample) {
  static_cast<std::vector<uint32_t>*>(context)->push_back(sample.packet.serial);
}

struct Producer {
  PenFeed* feed;
  PenSession* session;
  uint32_t packets;
};

void Produce(void* argument) {
  auto& producer = *static_cast<Producer*>(argument);
  for (uint32_t n = 1; n <= producer.packets; ++n) {
    DecodedPacket packet;
    packet.serial = n;
    FeedPenEvent(producer.feed, *producer.session, PacketEvent(packet));
  }
}

struct Consumer {
  PenFeed* feed;
  std::vector<uint32_t> seen;
};

void Consume(void* argument) {
  auto& consumer = *static_cast<Consumer*>(argument);
  DrainPenFeed(*consumer.feed, &Keep, &consumer.seen);
}

TEST(pen_feed, hands_every_packet_over_once_and_in_order_when_the_window_falls_behind) {
  auto feed = std::make_unique<PenFeed>();
  auto session = std::make_unique<PenSession>();
  // Three times the ring: the worker must wait for room, counting progress,
  // while the window drains only every 20 ms (the watched run's poll).
  constexpr uint32_t kPackets = 3 * kPenFeedSamples + 7;
  Producer producer{feed.get(), session.get(), kPackets};
  Consumer consumer{feed.get(), {}};
  ASSERT_TRUE(RunWatchedWork(&Produce, &producer, session->progress, &Consume, &consumer));
  EXPECT_EQ(DrainPenFeed(*feed, &Keep, &consumer.seen), 0u);
  ASSERT_EQ(consumer.seen.size(), kPackets);
  for (uint32_t n = 0; n < kPackets; ++n) ASSERT_EQ(consumer.seen[n], n + 1) << "sample " << n;
  EXPECT_GT(session->progress.load(), 0) << "the waits for room were not counted";
}

TEST(pen_feed, keeps_the_stage_the_faults_and_the_first_reason_the_pen_cannot_be_read) {
  auto feed = std::make_unique<PenFeed>();
  PenSession session;
  const auto tell = [&](PenEventKind kind, uint32_t value, const char16_t* call) {
    PenEvent event{};
    event.kind = kind;
    event.value = value;
    event.call = call;
    FeedPenEvent(feed.get(), session, event);
  };
  EXPECT_EQ(feed->stage.load(), PenFeedStage::starting);
  tell(PenEventKind::noDefaultContext, 200, nullptr);
  tell(PenEventKind::outOfMemory, 0, nullptr);
  EXPECT_EQ(feed->failure.load(), PenEventKind::noDefaultContext);
  EXPECT_EQ(feed->failureValue, 200u);
  // An opened context is no failure; none opened is.
  session.context = reinterpret_cast<void*>(1);
  auto other = std::make_unique<PenFeed>();
  PenEvent opened{};
  opened.kind = PenEventKind::contextOpened;
  FeedPenEvent(other.get(), session, opened);
  EXPECT_EQ(other->failure.load(), PenEventKind::started);
  session.context = nullptr;
  FeedPenEvent(other.get(), session, opened);
  EXPECT_EQ(other->failure.load(), PenEventKind::contextOpened);

  for (uint32_t k = 0; k < kPenFeedFaults + 2; ++k) tell(PenEventKind::callFaulted, 0, k == 0 ? u"WTEnable(TRUE)" : u"WTPacketsGet()");
  EXPECT_EQ(feed->faults.load(), kPenFeedFaults);
  EXPECT_EQ(std::u16string(feed->faultedCalls[0]), u"WTEnable(TRUE)");
  tell(PenEventKind::readingStarted, 0, nullptr);
  EXPECT_EQ(feed->stage.load(), PenFeedStage::reading);
  tell(PenEventKind::hardException, 0, u"WTPacketsGet()");
  EXPECT_TRUE(feed->hardException.load());
  EXPECT_EQ(std::u16string(feed->hardExceptionCall), u"WTPacketsGet()");
  EXPECT_EQ(feed->stage.load(), PenFeedStage::ended);
  EXPECT_FALSE(feed->summarised.load());
}

}  // namespace
