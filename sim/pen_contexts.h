// The pen entry points of the simulated library: contexts opened on a
// LOGCONTEXTW that play the profile's pen script as packets, in the layout
// the context's lcPktData selects, misbehaving where the profile says so.
#pragma once

#include <cstdint>

namespace sim {

// WTOpenW: a context on `logContext` (a LOGCONTEXTW, of which lcPktData is
// used), enabled when `enable` is nonzero. Null when the profile says the
// call fails, no context is given, or all sixteen contexts are open. The
// window is not used: the library sends no messages.
void* OpenContext(void* window, const void* logContext, int enable);

// WTEnable: starts or stops the delivery of packets. The script's clock
// starts at the first enable: packet n is ready once (time of packet n -
// time of packet 0) milliseconds have passed since then.
int EnableContext(void* context, int enable);

// WTPacketsGet: writes up to `maximum` ready packets (records one after
// the other) and returns how many. An unknown handle gets 0.
int GetPackets(void* context, int maximum, void* packets);

// WTClose: 1, or 0 for an unknown handle.
int CloseContext(void* context);

}  // namespace sim
