// Every question the report puts to the Wintab library. Both operations
// leave the answer in queryBuffer / lastQuerySize and echo each byte count
// the library returns as "{%3u} ". With safeMode set every library call is
// guarded: a fault costs the row ("<exception>"), not the report.
#pragma once

#include <cstdint>

struct CallRecord;
struct DialogState;

// Asks WTInfoW(category, index): a size probe with a null buffer first
// (unless noNullBuffer), then the real call into the cleared queryBuffer.
// A size probe above the buffer's 131072 bytes skips the real call and says
// so in the row. Requires infoEntry.
void QueryInfo(DialogState& state, uint32_t category, uint32_t index);

// Asks the availability question WTInfoW(0, 0, NULL); leaves its count in
// lastQuerySize and does not touch queryBuffer. Requires infoEntry.
void ProbeInterface(DialogState& state);

// Runs one call into the library: under the Safe Mode guard when safeMode is
// set, where a fault is counted in outcome.containedFaults, appends
// "<exception>" and returns false; without it a
// fault travels on to the worker's outermost guard. The function must hold
// no object with a destructor. `record` (may be null: nothing logged)
// follows the call: underway while it runs, then returned or faulted with
// the fault's code; the caller fills in the count.
bool CallWhenSafe(DialogState& state, void (*function)(void* argument), void* argument,
                  CallRecord* record = nullptr);

// Written in the row when the size probe asks for more than the buffer holds.
inline constexpr char16_t kAnswerTooLargeFormat[] = u"<too large for the 131072-byte buffer>";
