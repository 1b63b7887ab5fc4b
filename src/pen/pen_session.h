// The live pen session: a context opened on the default digitizing
// context, enabled and read with WTPacketsGet for a while, one packet at a
// time, then closed and tallied. Every call into the library is guarded in
// Safe Mode and named while it runs, so that a watchdog can say which one
// hung.
//
// What happens is told as events, in order, on the session's own thread
// (the worker that runs RunPenSession). The session's record holds
// everything an event refers to, so that a front end turns each event into
// its lines or its pixels by reading the record; the session itself writes
// no text.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "pen/packet_layout.h"
#include "pen/pen_calls.h"
#include "pen/pen_system.h"
#include "pen/pen_tally.h"
#include "wintab/wintab_binding.h"

struct PenSession;

struct PenSettings {
  uint32_t seconds = 10;
  bool safeMode = true;
  bool noNullBuffer = false;
  bool showWindow = false;  // the session's window over the whole screen, not hidden
  // A window of the caller's, shown, to open the context on instead of a
  // window of the session's own (a front end whose window is under the
  // pen). Its messages are the caller's to handle; the session never
  // destroys it.
  void* hostWindow = nullptr;
  // What the shown window says: describeWindow(describeContext, session,
  // text, capacity) writes its lines, terminated, on the session's thread.
  void (*describeWindow)(void* context, const PenSession& session, char16_t* text, size_t capacity) = nullptr;
  void* describeContext = nullptr;
};

// How a session ended, in its own terms; the first reason found stands,
// except that a fault escaping Safe Mode overrides every other.
enum class PenEnding : uint8_t {
  complete,       // read for its time (or until stopped), closed and tallied
  noEntryPoints,  // the library could not be loaded or lacks one of the five calls
  noContext,      // no 212-byte default context, WTOpenW opened none, or memory was short
  brokenAnswer,   // WTPacketsGet answered another count than asked (more, or negative)
  callFaulted,    // Safe Mode contained a fault in a call
  hardException,  // a fault escaped Safe Mode
};

// stopped: stopRequested was set (Ctrl+C in the console); windowClosed:
// Escape or closing the shown window.
enum class PenReadingEnd : uint8_t { timeUp, stopped, fault, brokenAnswer, windowClosed };

// What the check found, judged once the reading is over; one verdict, the
// first that applies in this order of blame: the library, then how the
// context was opened, then the pen.
enum class PenVerdict : uint8_t {
  none,               // nothing wrong seen
  libraryFaulted,     // a call the reading needs faulted (WTEnable or WTPacketsGet)
  libraryBrokeCount,  // WTPacketsGet answered another count than asked
  libraryNotEnabled,  // WTEnable(TRUE) answered 0 and no packet came
  hiddenWindow,       // no packet came to the session's hidden window
  noPackets,          // no packet came although the library answered every call
  noPressureField,    // the packets carry no pressure
  onlyHovered,        // packets came, none in contact with the tablet
  pressureZero,       // in contact, pressure never left 0
  pressureFixed,      // in contact and moving, pressure never changed
  tipNotReleased,     // after the tip lifted, pressure never came back near 0
  lowPressureRange,   // in contact, pressure reached only a small share of the device's range
};

// Pressure counts as near zero up to this share of the device's range
// (1/kNearZeroShare), and a range reached below 1/kLowRangeShare is small.
inline constexpr uint32_t kNearZeroShare = 50;
inline constexpr uint32_t kLowRangeShare = 4;

enum class PenEventKind : uint8_t {
  started,               // the session begins
  callFaulted,           // Safe Mode contained a fault in `call`
  libraryNotLoaded,      // `value`: the system's error code
  entryPointsMissing,    // `value`: the missing calls, bit k for kPenEntryPointNames[k]
  noDefaultContext,      // WTI_DEFCONTEXT answered `value` bytes, not a context
  contextRead,           // the record's logContext holds the default context; `value`: its bytes
  unknownFieldsDropped,  // `value`: lcPktData bits of no known packet field; opened without them
  outOfMemory,           // no room for a packet record
  contextOpened,         // WTOpenW returned the record's context (null: none opened)
  enabled,               // WTEnable(TRUE) answered `answer`
  readingStarted,        // packets are read for settings.seconds
  proximity,             // the cursor entered or left the context: see `entering` and the rest
  packet,                // `packet` was read (and tallied)
  brokenCount,           // WTPacketsGet answered `answer` for one packet asked
  readingEnded,          // `readingEnd`
  closed,                // WTClose answered `answer`
  summary,               // the tally, the axes, the cursor names and the record's verdict are final
  hardException,         // a fault escaped Safe Mode during `call` ("" when none was under way)
};

inline constexpr size_t kPenEntryPoints = 5;
extern const char16_t* const kPenEntryPointNames[kPenEntryPoints];  // "WTInfoW()", ...

struct PenEvent {
  PenEventKind kind;
  const char16_t* call = nullptr;
  uint32_t value = 0;
  int answer = 0;
  bool entering = false;     // proximity: entered (true) or left
  bool cursorKnown = false;  // proximity: `cursor` is the packet's cursor
  bool fromMessage = false;  // proximity: told by WT_PROXIMITY rather than a packet
  uint32_t cursor = 0;
  const DecodedPacket* packet = nullptr;
  PenReadingEnd readingEnd = PenReadingEnd::timeUp;
};

using PenEventSink = void (*)(void* context, const PenSession& session, const PenEvent& event);

// Distances in a packet record follow the program's own pointer width.
inline constexpr size_t kPenHandleBytes = sizeof(void*);
// Cursor names in the summary are cut to this many units.
inline constexpr size_t kPenCursorNameUnits = 32;

// The whole session as plain data: it lives on the heap and is never freed
// when a call hangs, and the worker's frames hold nothing with a destructor
// (a fault without Safe Mode abandons them).
struct PenSession {
  PenSettings settings;
  PenEventSink sink = nullptr;
  void* sinkContext = nullptr;
  // Counted up by the worker at every call that returned and every pause in
  // the reading; a watchdog reads it. Whoever handles the events may count
  // it up too while it waits.
  std::atomic<int32_t> progress{0};
  std::atomic<bool> stopRequested{false};  // ends the reading early
  std::atomic<bool> windowClosed{false};   // set by the shown window: ends the reading early
  PenCaller caller;
  PenEnding ending = PenEnding::complete;

  PenLibrary library;
  uint8_t* answer = nullptr;                   // WTInfoW answers, kMaxAnswerBytes, no-access page after
  wintab::LOGCONTEXTW* logContext = nullptr;   // the context opened, no-access page after
  wintab::AXIS axes[3] = {};                   // DVC_X, DVC_Y, DVC_NPRESSURE
  bool axisKnown[3] = {};
  uint32_t packetRate = 0;  // DVC_PKTRATE, when packetRateKnown
  bool packetRateKnown = false;
  PacketLayout layout;
  uint8_t* packet = nullptr;  // one record, no-access page after
  PenWindow window;
  void* context = nullptr;
  bool inContext = false;
  PenTally tally;
  uint64_t readingDeadline = 0;  // MillisecondsNow() when the reading ends, once it started
  DecodedPacket lastPacket;      // the last packet read
  char16_t cursorNames[kTalliedCursors][kPenCursorNameUnits + 1] = {};

  // What the verdict rests on besides the tally.
  bool enableFaulted = false;
  int enableAnswer = 0;
  PenReadingEnd readingEnd = PenReadingEnd::timeUp;
  PenVerdict verdict = PenVerdict::none;
};

// A session ready to run, telling its events to sink(sinkContext, ...);
// null when memory is short.
PenSession* NewPenSession(const PenSettings& settings, PenEventSink sink, void* sinkContext);
// Only for a session whose worker has ended.
void DeletePenSession(PenSession* session);

// The worker's body (argument: the PenSession): the whole session under the
// guard that catches what Safe Mode does not.
void RunPenSession(void* session);

// The row label of the call under way, or null; for the watchdog's "<hung>".
const char16_t* PenCallUnderWay(const PenSession& session);

// The packets carry this field (a PK_ bit).
bool PenPacketsCarry(const PenSession& session, uint32_t field);

// The first verdict that applies to what the session saw (see PenVerdict).
PenVerdict JudgePen(const PenSession& session);

// The pressure at or below which a value counts as near zero, and the
// share (in percent, rounded down) of the device's pressure range that
// `value` reaches; both from DVC_NPRESSURE, or from the values seen when
// the device gave no axis.
uint32_t NearZeroPressure(const PenSession& session);
uint32_t PressureShare(const PenSession& session, uint32_t value);
