// The yardstick for the dialog's start-up: the same dialog template shown
// by a dialog procedure that does nothing, so that what padscope.exe adds
// to the system's own cost of showing that dialog can be measured.
#ifndef UNICODE
#define UNICODE
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "res/resource_ids.h"

namespace {

INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PADSCOPE), nullptr, BareDialogProc, 0);
  return 0;
}
