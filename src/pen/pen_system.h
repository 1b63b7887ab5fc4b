// What the pen session needs from the system besides the platform seam: a
// window of its own that the library can post to (Windows), a wait that
// keeps that window's messages flowing, and a clock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Told by the window when the library posts WT_PROXIMITY: entering is true
// when the cursor entered the context, false when it left.
using ProximitySink = void (*)(void* context, bool entering);

struct PenWindow {
  void* window = nullptr;  // Windows: a top-level window of the check's own; posix: null
  // Shown over the whole screen instead of hidden: some libraries (Wine's
  // builtin wintab32) deliver packets only to a window under the pen.
  bool visible = false;
  uint32_t messageBase = 0;
  ProximitySink proximity = nullptr;
  void* proximityContext = nullptr;
  // A shown window: describe(context, text, capacity) gives the lines it
  // shows (and the first as its title), asked again a few times a second;
  // Escape or closing the window sets *closed.
  void (*describe)(void* context, char16_t* text, size_t capacity) = nullptr;
  void* describeContext = nullptr;
  std::atomic<bool>* closed = nullptr;
};

// Brings the system's window machinery up in this process, so that a later
// CreatePenWindow is quick (under Wine the first window of a process takes
// its connection to the display, which can take more than a second).
void PreparePenWindows();

// Creates the window on the calling thread, which must also wait on it.
// pen.window stays null where the system has no windows or creation failed.
void CreatePenWindow(PenWindow& pen);
void DestroyPenWindow(PenWindow& pen);

// Handles the window's messages and waits up to `milliseconds` for more.
void WaitOnPenWindow(PenWindow& pen, uint32_t milliseconds);

uint64_t MillisecondsNow();

// A finer clock for measuring short delays, in microseconds.
uint64_t MicrosecondsNow();
