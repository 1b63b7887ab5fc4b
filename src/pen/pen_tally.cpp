#include "pen/pen_tally.h"

#include "wintab/wintab_binding.h"

namespace {

template <class T>
void Widen(T& minimum, T& maximum, T value, bool first) {
  if (first || value < minimum) minimum = value;
  if (first || value > maximum) maximum = value;
}

}  // namespace

void TallyPacket(PenTally& tally, const DecodedPacket& packet) {
  const bool first = tally.packets == 0;
  ++tally.packets;
  Widen(tally.xMin, tally.xMax, packet.x, first);
  Widen(tally.yMin, tally.yMax, packet.y, first);
  Widen(tally.pressureMin, tally.pressureMax, packet.normalPressure, first);
  for (uint32_t k = 0; k < tally.cursorCount; ++k) {
    if (tally.cursors[k] == packet.cursor) {
      ++tally.cursorPackets[k];
      return;
    }
  }
  if (tally.cursorCount == kTalliedCursors) {
    ++tally.otherCursorPackets;
    return;
  }
  tally.cursors[tally.cursorCount] = packet.cursor;
  tally.cursorPackets[tally.cursorCount] = 1;
  ++tally.cursorCount;
}

bool PenMoved(const PenTally& tally, uint32_t fields) {
  const bool xMoved = (fields & wintab::PK_X) != 0 && tally.xMin != tally.xMax;
  const bool yMoved = (fields & wintab::PK_Y) != 0 && tally.yMin != tally.yMax;
  return xMoved || yMoved;
}
