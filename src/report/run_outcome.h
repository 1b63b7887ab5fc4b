// How one run of the report ended, as the run itself records it: the
// console companion takes its exit code from here, never from the text
// (a device may well be named "<exception>").
#pragma once

#include <cstdint>

enum class RunEnding : uint8_t {
  running,        // not ended: still under way, or stopped inside a call (hung)
  complete,       // the report ran to the release of the library
  noLibrary,      // WINTAB32.DLL could not be loaded (or its load faulted)
  noInfoEntry,    // the library has no WTInfoW
  probeZero,      // the availability probe answered 0 and was not ignored
  probeFaulted,   // the availability probe faulted (contained) and was not ignored
  hardException,  // a fault escaped every Safe Mode guard
};

struct RunOutcome {
  RunEnding ending;
  uint32_t containedFaults;     // faults the Safe Mode guards turned into "<exception>"
  uint32_t hardExceptionCode;   // hardException: the code the outermost guard received
};
