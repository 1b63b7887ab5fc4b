// How the report engine fills the answer log of a run (see answer_log.h).
// Every operation does nothing when the run has no log, so the dialog's
// report is built exactly as without these calls.
#pragma once

#include <cstdint>

#include "report/answer_log.h"

struct DialogState;

// Remembers the label of the row just started and that its text begins
// here (called by Label once the label is written).
void NoteRowStart(DialogState& state, const char16_t* label);

// A new step of the run; its calls start as notMade. Null when the run has
// no log or the log is full (the step is then counted as lost).
AnswerLogEntry* BeginLoggedStep(DialogState& state, LoggedStep step, uint32_t category, uint32_t index);

// The step's row is rendered: its text ends here.
void EndLoggedRow(DialogState& state);

// Keeps the answer a real call left in queryBuffer (count: what it returned).
void LogAnswerBytes(DialogState& state, AnswerLogEntry* entry, uint32_t count);

// The row just rendered refused its answer's size (expected: the size it
// wanted, 0 for the array rule).
void NoteSizeRefused(DialogState& state, uint32_t expected);

// The library's identity, as its rows show it.
LibraryIdentity* LoggedLibrary(DialogState& state);
void CopyLoggedText(LoggedText& into, const char16_t* text);
