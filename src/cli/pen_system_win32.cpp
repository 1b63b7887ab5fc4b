#include <windows.h>

#include "pen_system.h"
#include "wintab/wintab_binding.h"

namespace {

constexpr wchar_t kWindowClass[] = L"PadscopePenCheck";

std::atomic<bool>* interruptRequested = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  interruptRequested->store(true);
  return TRUE;
}

// WT_PROXIMITY: the low word of lParam is nonzero when the cursor enters
// the context, zero when it leaves.
LRESULT CALLBACK PenWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* pen = reinterpret_cast<PenWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (pen != nullptr && pen->proximity != nullptr &&
      message == pen->messageBase + wintab::kProximityMessageOffset) {
    pen->proximity(pen->proximityContext, LOWORD(lParam) != 0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Never shown: the library only needs a window to post its messages to.
HWND CreateHiddenWindow() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &PenWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  return CreateWindowExW(0, kWindowClass, L"PADSCOPE pen check", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance,
                         nullptr);
}

}  // namespace

void PreparePenWindows() {
  HWND window = CreateHiddenWindow();
  if (window != nullptr) DestroyWindow(window);
}

void CreatePenWindow(PenWindow& pen) {
  HWND window = CreateHiddenWindow();
  if (window != nullptr) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pen));
  pen.window = window;
}

void DestroyPenWindow(PenWindow& pen) {
  if (pen.window == nullptr) return;
  SetWindowLongPtrW(static_cast<HWND>(pen.window), GWLP_USERDATA, 0);
  DestroyWindow(static_cast<HWND>(pen.window));
  pen.window = nullptr;
}

void WaitOnPenWindow(PenWindow& pen, uint32_t milliseconds) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  (void)pen;
  MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
}

uint64_t MillisecondsNow() { return GetTickCount64(); }

void CatchInterrupt(std::atomic<bool>* requested) {
  interruptRequested = requested;
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}
