// The Windows headers as the dialog shell uses them: Unicode, Vista as the
// oldest system, and the record's opaque handles seen as Win32 types.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#endif
#include <windows.h>

#include "report/dialog_state.h"

inline HWND DialogWindowOf(const DialogState& state) { return static_cast<HWND>(state.dialog); }
inline HANDLE WorkerThreadOf(const DialogState& state) { return static_cast<HANDLE>(state.workerThread); }
