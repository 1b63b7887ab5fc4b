// The entry point: shows the dialog modally and returns 0 when it closes.
#include "app/dialog_window.h"
#include "app/test_session.h"
#include "res/resource_ids.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PADSCOPE), nullptr, DialogProc, 0);
  // A terminated worker may have left the system's loader lock held (a
  // driver stuck while loading or unloading); the normal process shutdown
  // would wait for it forever. The program has nothing left to save.
  if (WorkerWasTerminated()) TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}
