// The console's text of the pen session: each event as the lines the pen
// check prints, queued for the main thread.
#pragma once

#include "pen/pen_session.h"

// A PenEventSink; context: the PenOutput the lines go to. Runs on the
// session's worker.
void WritePenEvent(void* context, const PenSession& session, const PenEvent& event);
