// The values panel (what the last packet said, the rates, the verdict) and
// the short machine-readable status the window keeps for tests, both from
// the window's record.
#pragma once

#include <string>

#include "pen_window/pen_window_state.h"

std::u16string ValuesText(const PenWindowState& state);

// One line of name=value pairs: the stage, packets read, strokes, the ink's
// box and the canvas in client pixels, the last packet, repaints, and the
// how many paints showed new packets over how long a reading, the median
// delay from a packet's read to its paint, and the calls that hung or
// faulted.
std::u16string StatusText(const PenWindowState& state);

// What the session is doing, in words, for the panel and the summary.
std::u16string SessionVerdict(const PenWindowState& state);
