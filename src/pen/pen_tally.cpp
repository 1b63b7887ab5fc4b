#include "pen/pen_tally.h"

#include "wintab/wintab_binding.h"

namespace {

template <class T>
void Widen(T& minimum, T& maximum, T value, bool first) {
  if (first || value < minimum) minimum = value;
  if (first || value > maximum) maximum = value;
}

void CountCursor(PenTally& tally, uint32_t cursor) {
  for (uint32_t k = 0; k < tally.cursorCount; ++k) {
    if (tally.cursors[k] == cursor) {
      ++tally.cursorPackets[k];
      return;
    }
  }
  if (tally.cursorCount == kTalliedCursors) {
    ++tally.otherCursorPackets;
    return;
  }
  tally.cursors[tally.cursorCount] = cursor;
  tally.cursorPackets[tally.cursorCount] = 1;
  ++tally.cursorCount;
}

void CountContact(ContactTally& tally, bool contact, uint32_t pressure) {
  if (contact) {
    Widen(tally.pressureMin, tally.pressureMax, pressure, tally.contactPackets == 0);
    ++tally.contactPackets;
    tally.wasInContact = true;
    return;
  }
  ++tally.hoverPackets;
  if (!tally.wasInContact) return;
  if (tally.liftedPackets == 0 || pressure < tally.liftedPressureMin) tally.liftedPressureMin = pressure;
  ++tally.liftedPackets;
}

void CountGap(PenTally& tally, uint32_t time, bool inProximity) {
  if (tally.haveLastTime && tally.lastInProximity && inProximity) {
    const uint32_t gap = time - tally.lastTime;  // pkTime wraps like any tick count
    ++tally.gapCount;
    tally.gapSum += gap;
    if (gap > tally.largestGap) tally.largestGap = gap;
    ++tally.gapCounts[gap < kGapBuckets - 1 ? gap : kGapBuckets - 1];
  }
  tally.haveLastTime = true;
  tally.lastInProximity = inProximity;
  tally.lastTime = time;
}

}  // namespace

void TallyPacket(PenTally& tally, const DecodedPacket& packet, uint32_t fields, uint32_t time, bool inProximity) {
  const bool first = tally.packets == 0;
  ++tally.packets;
  Widen(tally.xMin, tally.xMax, packet.x, first);
  Widen(tally.yMin, tally.yMax, packet.y, first);
  Widen(tally.pressureMin, tally.pressureMax, packet.normalPressure, first);
  Widen(tally.azimuthMin, tally.azimuthMax, packet.orientation[0], first);
  Widen(tally.altitudeMin, tally.altitudeMax, packet.orientation[1], first);
  tally.buttonsSeen |= packet.buttons;
  CountCursor(tally, packet.cursor);
  if (inProximity) {
    CountContact(tally.byTip, (fields & wintab::PK_BUTTONS) != 0 && (packet.buttons & 1u) != 0,
                 packet.normalPressure);
    CountContact(tally.byPressure, packet.normalPressure > 0, packet.normalPressure);
  }
  CountGap(tally, time, inProximity);
}

bool PenMoved(const PenTally& tally, uint32_t fields) {
  const bool xMoved = (fields & wintab::PK_X) != 0 && tally.xMin != tally.xMax;
  const bool yMoved = (fields & wintab::PK_Y) != 0 && tally.yMin != tally.yMax;
  return xMoved || yMoved;
}

bool ContactByTipButton(const PenTally& tally, uint32_t fields) {
  return (fields & wintab::PK_BUTTONS) != 0 && (tally.buttonsSeen & 1u) != 0;
}

const ContactTally& ContactOf(const PenTally& tally, uint32_t fields) {
  return ContactByTipButton(tally, fields) ? tally.byTip : tally.byPressure;
}

uint32_t MedianGap(const PenTally& tally) {
  if (tally.gapCount == 0) return 0;
  // The lower median: the gap at position (count - 1) / 2 in order.
  const uint32_t position = (tally.gapCount - 1) / 2;
  uint32_t seen = 0;
  for (uint32_t gap = 0; gap < kGapBuckets; ++gap) {
    seen += tally.gapCounts[gap];
    if (seen > position) return gap;
  }
  return kGapBuckets - 1;
}

uint32_t ReportRate(const PenTally& tally) {
  if (tally.gapSum == 0) return 0;
  return static_cast<uint32_t>((static_cast<uint64_t>(tally.gapCount) * 1000u + tally.gapSum / 2) / tally.gapSum);
}
