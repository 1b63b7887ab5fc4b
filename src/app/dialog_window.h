// The program's one dialog (resource 1). Runs on the dialog thread only.
#pragma once

#include "app/win32.h"

// The dialog procedure. The DialogState lives in the DWLP_USER slot from
// WM_INITDIALOG until WM_DESTROY, which frees it and clears the slot.
INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
