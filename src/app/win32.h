// The Windows headers as the dialog shell uses them, and the record's
// opaque handles seen as Win32 types.
#pragma once

#include "platform/windows_headers.h"
#include "report/dialog_state.h"

inline HWND DialogWindowOf(const DialogState& state) { return static_cast<HWND>(state.dialog); }
inline HANDLE WorkerThreadOf(const DialogState& state) { return static_cast<HANDLE>(state.workerThread); }
