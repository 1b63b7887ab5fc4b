// The console's text of the pen session: each event as the lines the pen
// check prints, queued for the main thread.
#pragma once

#include "pen/pen_session.h"

// A PenEventSink; context: the PenOutput the lines go to. Runs on the
// session's worker.
void WritePenEvent(void* context, const PenSession& session, const PenEvent& event);

// What the shown pen window says (PenSettings::describeWindow): the
// countdown and the packets read, what to do, and the last packet's values.
void DescribePenWindow(void* context, const PenSession& session, char16_t* text, size_t capacity);
