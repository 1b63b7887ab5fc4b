// The pen window's one record: the run it watches, what the packets have
// shown so far, the canvas and its ink. The window procedure's handlers
// update it; the paint and the panels draw from it. Window thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pen/pen_canvas.h"
#include "pen/pen_feed.h"
#include "pen/pen_session.h"
#include "pen_window/header_text.h"
#include "platform/windows_headers.h"

struct PenRun;

struct PenWindowState {
  HWND window = nullptr;
  HFONT font = nullptr;
  int lineHeight = 16;  // of the message font, in pixels
  HWND header = nullptr, values = nullptr, status = nullptr;

  // The run shown. A run stuck in the library is given up, never freed.
  PenRun* run = nullptr;
  bool anyRunGivenUp = false;
  bool restartWanted = false;   // "Test again" waits for the run to end
  uint64_t restartAskedAt = 0;
  bool headerShown = false;
  bool hung = false;
  const char16_t* hungCall = nullptr;
  uint64_t lastWatch = 0;  // when the worker's progress last moved
  int32_t lastProgress = 0;

  // What the packets showed. `shadow` holds the session's layout and axes
  // and a tally of the packets drained, so that its verdict can be judged
  // while the session still runs.
  PenSession shadow;
  bool reading = false;
  bool haveLast = false;
  PenSample last{};
  bool inContact = false;
  std::u16string cursorNames[kNamedCursors];
  uint64_t rateStartedAt = 0;
  uint32_t rateCount = 0;
  uint32_t packetsPerSecond = 0;

  // The canvas: its model, and its ink kept as a bitmap of the canvas's room.
  PenCanvas canvas;
  HDC inkDc = nullptr;
  HBITMAP inkBitmap = nullptr;
  HGDIOBJ inkBitmapBefore = nullptr;
  RECT valuesArea{};  // the values panel with the pressure bar below its text
  RECT barArea{};
  bool marked = false;      // a cross-hair or tilt line is on the screen at `markBox`
  CanvasRect markBox;
  uint32_t repaints = 0;

  // How quickly a packet reaches the screen: when each packet drawn since
  // the last paint was read, and the delays from read to paint so far in
  // buckets of 100 microseconds (the last: 102.3 ms or more).
  std::vector<uint64_t> unpainted;
  uint32_t latencyCounts[1024] = {};
  uint32_t packetPaints = 0;  // paints that showed a new packet
  uint64_t firstReadUs = 0, lastReadUs = 0;

  uint64_t lastPanelUpdate = 0;
  std::u16string shownValues, shownStatus;
};
