// The per-dialog record and the three operations through which text enters
// the report: Append, NewLine and Label.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "format/text_format.h"
#include "report/answer_log.h"
#include "report/run_outcome.h"
#include "wintab/wintab_binding.h"

inline constexpr size_t kReportTextUnits = 131073;
inline constexpr size_t kQueryBufferBytes = wintab::kMaxAnswerBytes;
inline constexpr size_t kPieceLimitUnits = textformat::kPieceUnitLimit;  // per Append, terminator included

// Written once where the report text runs out of room.
inline constexpr char16_t kReportFullMarker[] = u"<report full>";
inline constexpr size_t kReportFullMarkerUnits = sizeof(kReportFullMarker) / sizeof(char16_t) - 1;

// How a test that did not run to its end ends its text.
inline constexpr char16_t kHungEnding[] = u"<hung>";
inline constexpr char16_t kHardExceptionEnding[] = u"<hard exception>";

// Room kept at the end of the text for what ends a test: the full marker,
// the longest ending, the final CR LF and the NUL.
inline constexpr size_t kLongestEndingUnits = sizeof(kHardExceptionEnding) / sizeof(char16_t) - 1;
static_assert(sizeof(kHardExceptionEnding) >= sizeof(kHungEnding));
inline constexpr size_t kReportReserveUnits = kReportFullMarkerUnits + kLongestEndingUnits + 2 + 1;
// Ordinary pieces end at or before this unit.
inline constexpr size_t kReportBodyUnits = kReportTextUnits - kReportReserveUnits;

// The record shared by the dialog and a running test. The dialog owns it;
// the worker borrows it. Handles are the system's opaque handles.
struct DialogState {
  void* dialog;          // the dialog window
  void* savedCursor;     // the cursor replaced by the wait cursor
  void* workerThread;    // the running worker, or null
  int32_t progressCount;     // report writes since the test started
  int32_t lastSeenProgress;  // progressCount at the watchdog's previous tick
  uint8_t overrideCounts;
  uint8_t safeMode;
  uint8_t noNullBuffer;
  uint8_t showContextDevice;
  uint8_t ignoreNullQuery;
  char16_t ReportText[kReportTextUnits];
  char16_t* writePosition;  // next free unit of ReportText
  uint32_t lastQuerySize;   // byte count of the last WTInfoW answer
  wintab::WTInfoWEntry infoEntry;
  RunOutcome outcome;  // how the run ended; reset with the report
  AnswerLog* answerLog;  // every call into the library and its answer, or null (the dialog keeps none)
  // Last, so that a no-access page can follow it (see NewDialogState): a
  // library that writes past the end faults instead of corrupting memory.
  alignas(8) uint8_t queryBuffer[kQueryBufferBytes];
};
static_assert(sizeof(DialogState) - offsetof(DialogState, queryBuffer) == kQueryBufferBytes,
              "queryBuffer must end the record");

// Allocates a zeroed record whose queryBuffer is followed by a no-access
// page; null when memory is short. `dialog` is stored, `workerThread` is
// null. Free with DeleteDialogState.
DialogState* NewDialogState(void* dialog);
void DeleteDialogState(DialogState* state);

// Starts a new report: counters to 0, the text empty and terminated, the
// outcome "running" with no contained faults, the answer log (if any) empty.
void ResetReport(DialogState& state);

// Appends one formatted piece of at most 1023 units (longer pieces are cut)
// and counts one unit of progress. When the text runs out of room, what fits
// is kept, "<report full>" is written once and later pieces only count.
template <class... Args>
void Append(DialogState& state, textformat::CheckedFormat<std::type_identity_t<Args>...> format,
            const Args&... args);

// Appends CR LF and counts one unit of progress; writes no terminator.
void NewLine(DialogState& state);

// Starts a labelled row: CR LF, the name left-aligned in 30 columns, a blank.
void Label(DialogState& state, const char16_t* name);

// True once the text has run out of room for ordinary pieces.
bool ReportIsFull(const DialogState& state);

// The endings "<hung>" and "<hard exception>": appended like Append (one unit
// of progress) but allowed into the reserved room, so a full report still
// says how it ended.
void AppendEnding(DialogState& state, const char16_t* ending);

// The last writes of a test: the final CR LF (one unit of progress, always
// fits), then the terminating NUL at writePosition, which does not advance.
void AppendFinalLineBreak(DialogState& state);
void TerminateReport(DialogState& state);

// The report so far, from the start of ReportText to writePosition.
size_t ReportLength(const DialogState& state);

// ---- implementation of the template ----

void AppendFormatted(DialogState& state, const char16_t* format, const textformat::FormatArg* args,
                     size_t count);

template <class... Args>
void Append(DialogState& state, textformat::CheckedFormat<std::type_identity_t<Args>...> format,
            const Args&... args) {
  const textformat::FormatArg packed[sizeof...(Args) + 1] = {textformat::MakeArg(args)...,
                                                             textformat::FormatArg{}};
  AppendFormatted(state, format.text, packed, sizeof...(Args));
}
