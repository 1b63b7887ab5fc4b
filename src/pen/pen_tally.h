// What the pen check saw, for its summary: the packets read, the ranges of
// x, y and pressure, the cursors, and whether the pen moved.
#pragma once

#include <cstdint>

#include "pen/packet_layout.h"

inline constexpr uint32_t kTalliedCursors = 8;  // distinct cursors named in the summary

struct PenTally {
  uint32_t packets = 0;
  int32_t xMin = 0, xMax = 0;
  int32_t yMin = 0, yMax = 0;
  uint32_t pressureMin = 0, pressureMax = 0;
  uint32_t cursorCount = 0;                  // distinct cursors listed below
  uint32_t cursors[kTalliedCursors] = {};
  uint32_t cursorPackets[kTalliedCursors] = {};
  uint32_t otherCursorPackets = 0;           // packets of cursors beyond the list
};

void TallyPacket(PenTally& tally, const DecodedPacket& packet);

// x or y took more than one value.
bool PenMoved(const PenTally& tally, uint32_t fields);
