// What the pen session saw, for its summary and its verdict: the packets
// read, the ranges of x, y, pressure and tilt, the cursors, the buttons,
// contact and hovering, the pressure after the tip lifted, and the gaps
// between packets in proximity (the report rate).
#pragma once

#include <cstdint>

#include "pen/packet_layout.h"

inline constexpr uint32_t kTalliedCursors = 8;  // distinct cursors named in the summary
inline constexpr uint32_t kGapBuckets = 1024;   // gaps of 0 to 1022 ms, and 1023 ms or more

// Packets in proximity, each in contact or hovering; the pressure in
// contact; and the packets after the tip lifted (contact seen, then none)
// with their lowest pressure.
struct ContactTally {
  uint32_t contactPackets = 0;
  uint32_t hoverPackets = 0;
  uint32_t pressureMin = 0, pressureMax = 0;
  uint32_t liftedPackets = 0;
  uint32_t liftedPressureMin = 0;
  bool wasInContact = false;
};

struct PenTally {
  uint32_t packets = 0;
  int32_t xMin = 0, xMax = 0;
  int32_t yMin = 0, yMax = 0;
  uint32_t pressureMin = 0, pressureMax = 0;
  int32_t azimuthMin = 0, azimuthMax = 0;
  int32_t altitudeMin = 0, altitudeMax = 0;
  uint32_t buttonsSeen = 0;  // every button bit that was set in some packet
  uint32_t cursorCount = 0;                  // distinct cursors listed below
  uint32_t cursors[kTalliedCursors] = {};
  uint32_t cursorPackets[kTalliedCursors] = {};
  uint32_t otherCursorPackets = 0;           // packets of cursors beyond the list

  // Contact with the tablet, judged two ways while the packets come: by
  // the tip button (button 0) and by a pressure above 0. ContactOf picks
  // the one that applies.
  ContactTally byTip;
  ContactTally byPressure;

  // Gaps between consecutive packets that were both in proximity, in ms.
  bool haveLastTime = false;
  bool lastInProximity = false;
  uint32_t lastTime = 0;
  uint32_t gapCount = 0;
  uint64_t gapSum = 0;
  uint32_t largestGap = 0;
  uint32_t gapCounts[kGapBuckets] = {};
};

// fields: the context's lcPktData; time: the packet's pkTime when the
// packets carry it, its arrival in ms otherwise; inProximity: the cursor is
// in the context.
void TallyPacket(PenTally& tally, const DecodedPacket& packet, uint32_t fields, uint32_t time, bool inProximity);

// x or y took more than one value.
bool PenMoved(const PenTally& tally, uint32_t fields);

// Contact by the tip button when the packets carry buttons and button 0 was
// seen down; by a pressure above 0 otherwise (some libraries number the
// tip's button otherwise, or report none).
const ContactTally& ContactOf(const PenTally& tally, uint32_t fields);
bool ContactByTipButton(const PenTally& tally, uint32_t fields);

// The median of the gaps (0 when there are none).
uint32_t MedianGap(const PenTally& tally);

// Packets per second while in proximity (0 when no gap was seen).
uint32_t ReportRate(const PenTally& tally);
