#include <windows.h>

#include "pen/pen_system.h"
#include "wintab/wintab_binding.h"

namespace {

constexpr wchar_t kWindowClass[] = L"PadscopePenCheck";

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

// Hidden, the library only needs a window to post its messages to; shown,
// it lies over the whole primary screen, above every other window.
HWND CreateCheckWindow(bool visible) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &PenWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  if (!visible) {
    return CreateWindowExW(0, kWindowClass, L"PADSCOPE pen check", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance,
                           nullptr);
  }
  return CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWindowClass, L"PADSCOPE pen check",
                         WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                         nullptr, nullptr, instance, nullptr);
}

}  // namespace

void PreparePenWindows() {
  HWND window = CreateCheckWindow(false);
  if (window != nullptr) DestroyWindow(window);
}

void CreatePenWindow(PenWindow& pen) {
  HWND window = CreateCheckWindow(pen.visible);
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
