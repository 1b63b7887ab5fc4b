// padscope-pen: the live pen tester window. Returns 0 when the window closes.
#include "pen_window/pen_window.h"
#include "pen_window/run_watch.h"

namespace {

// How long the end of the program waits for a stopping session to close its
// context and release the library, the window being gone already.
constexpr uint32_t kEndWaitMs = 100;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  if (!RegisterPenWindowClass(instance)) return 1;
  HWND window = CreateWindowExW(0, kPenWindowClass, L"PADSCOPE Pen", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // A worker stuck in the library (or still closing) may hold the system's
  // loader lock, which the normal shutdown would wait for forever; the
  // program has nothing left to save.
  if (PenWindowLeftWorkerBehind() || !LastRunEnded(kEndWaitMs)) TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}
