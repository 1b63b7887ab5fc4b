// The answer log: every call the report makes into the library, in order,
// with what came back. It is what padscope-report records, exports and
// takes its verdict from; the dialog runs without one.
//
// Its storage is fixed and owned by the caller (AnswerLog points into it);
// the engine only fills it and never allocates. A run with a log writes
// exactly the same report text and progress as a run without.
//
// Reading it back: entries[0 .. entryCount) in the order of the calls. Each
// entry is one step of the report (the load, the availability probe, one
// query, the release) with the outcome of each call it made.
#pragma once

#include <cstddef>
#include <cstdint>

// What became of one call into the library.
enum class CallState : uint8_t {
  notMade,   // not asked: no size probe with "No null-buffer", no real call after a probe of 0
  underway,  // asked and never returned: the test hung in it, or a fault escaped every guard
  returned,  // returned; CallRecord::count holds what
  faulted,   // a fault that the Safe Mode guard contained; CallRecord::faultCode holds its code
};

struct CallRecord {
  CallState state;
  uint32_t count;      // returned: the byte count (load: 1 loaded, 0 not; release: 1 succeeded, 0 failed)
  uint32_t faultCode;  // faulted: the exception code (Windows) or signal number (posix)
};

enum class LoggedStep : uint8_t {
  load,          // LoadLibrary("WINTAB32.DLL"): the call is in `real`
  availability,  // WTInfoW(0, 0, NULL): the call is in `probe`
  query,         // QueryInfo(category, index): size probe and real call
  release,       // FreeLibrary(): the call is in `real`
};

struct AnswerLogEntry {
  LoggedStep step;
  uint32_t category;  // query: as asked (availability: 0)
  uint32_t index;
  const char16_t* rowLabel;  // the label of the row the step belongs to (static text), or null
  CallRecord probe;          // WTInfoW(category, index, NULL)
  CallRecord real;           // WTInfoW(category, index, buffer), or the load or release
  // The answer of a real call that returned: the bytes the buffer holds
  // afterwards, as many as the count says and the buffer holds, and further
  // when the library wrote past its count (through the last nonzero byte).
  uint32_t bytesOffset;  // into AnswerLog::bytes
  uint32_t bytesLength;
  bool bytesLost;        // the byte store was full: the answer's bytes are not kept
  // The row refused the answer's size ("<invalid buffer length: ...>");
  // expectedSize is the size it wanted, 0 for the array rule (a multiple of
  // four, at most 256 values).
  bool sizeRefused;
  uint32_t expectedSize;
  // The row's text after its label (echoes and decoded value), as offsets
  // into the report text: [textBegin, textEnd).
  uint32_t textBegin;
  uint32_t textEnd;
};

// Text the library's identity rows show, cut to a fixed length.
inline constexpr size_t kLoggedTextUnits = 1024;
struct LoggedText {
  bool found;
  char16_t text[kLoggedTextUnits];  // NUL-terminated
};

// The entry points the report looks up, in report order.
inline constexpr size_t kLoggedEntryPoints = 5;
extern const char* const kLoggedEntryPointNames[kLoggedEntryPoints];  // "WTInfoW", "WTOpenW", ...

struct LibraryIdentity {
  bool loaded;
  uint32_t loadError;       // not loaded: the system's error code
  LoggedText path;          // GetModuleFileNameW (found: the call succeeded)
  LoggedText fileVersion;   // the version resource's FileVersion
  LoggedText companyName;   // and CompanyName
  bool entryPointsLookedUp;
  bool entryPointFound[kLoggedEntryPoints];
};

struct AnswerLog {
  // Storage given by the caller.
  AnswerLogEntry* entries;
  uint32_t entryCapacity;
  uint8_t* bytes;
  uint32_t byteCapacity;

  // Filled by the run (ResetAnswerLog clears them).
  uint32_t entryCount;
  uint32_t entriesLost;  // steps that found no free entry; the log is then incomplete
  uint32_t bytesUsed;
  LibraryIdentity library;

  // The row being written: set by Label, taken by the next step.
  const char16_t* pendingRowLabel;
  uint32_t pendingRowTextBegin;
};

// Points `log` at the caller's storage and clears it.
void AttachAnswerLogStorage(AnswerLog& log, AnswerLogEntry* entries, uint32_t entryCapacity, uint8_t* bytes,
                            uint32_t byteCapacity);

// Clears what a run filled in (done by ResetReport for the attached log).
void ResetAnswerLog(AnswerLog& log);

// The bytes of an entry's answer (bytesLength of them), or null when none are kept.
const uint8_t* AnswerBytes(const AnswerLog& log, const AnswerLogEntry& entry);

// The report section a category's rows stand in: "WTI_INTERFACE",
// "WTI_DEFCONTEXT", "WTI_DEFSYSCTX", "WTI_DEVICE+" / "WTI_CURSOR+" (with
// *number set to n), or null for the availability question and unknown ones.
const char16_t* SectionOf(uint32_t category, uint32_t* number);

// True when every step found an entry and every answer's bytes were kept.
bool AnswerLogIsComplete(const AnswerLog& log);
