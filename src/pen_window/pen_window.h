// padscope-pen's one window: the header, the canvas, the values panel and
// the buttons. Runs on the window thread only.
#pragma once

#include "platform/windows_headers.h"

inline constexpr wchar_t kPenWindowClass[] = L"PadscopePen";

// Registers the window class; false when it cannot be.
bool RegisterPenWindowClass(HINSTANCE instance);

// True once the window was destroyed with a worker that may never end: the
// process must end without its normal shutdown.
bool PenWindowLeftWorkerBehind();
