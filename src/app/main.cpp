// The entry point: shows the dialog modally and returns 0 when it closes.
#include "app/dialog_window.h"
#include "res/resource_ids.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PADSCOPE), nullptr, DialogProc, 0);
  return 0;
}
