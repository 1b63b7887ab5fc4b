// "Copy report" and "Save for support...". Window thread only.
#pragma once

#include "pen_window/pen_window_state.h"

// The report, the findings and the pen summary on the clipboard as text.
void CopyReport(PenWindowState& state);

// The recording written where the user chooses, completely or not at all;
// a message box says when it could not be.
void SaveForSupport(PenWindowState& state);
