#include <windows.h>

#include "pen/pen_system.h"
#include "wintab/wintab_binding.h"

namespace {

constexpr wchar_t kWindowClass[] = L"PadscopePenCheck";

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 200;
constexpr size_t kShownUnits = 1024;

void Describe(const PenWindow& pen, wchar_t* text) {
  text[0] = 0;
  if (pen.describe != nullptr) pen.describe(pen.describeContext, reinterpret_cast<char16_t*>(text), kShownUnits);
  text[kShownUnits - 1] = 0;
}

// The title is the first line of the description.
void Refresh(HWND window, const PenWindow& pen) {
  wchar_t text[kShownUnits];
  Describe(pen, text);
  wchar_t* end = text;
  while (*end != 0 && *end != L'\r' && *end != L'\n') ++end;
  *end = 0;
  SetWindowTextW(window, text);
  InvalidateRect(window, nullptr, TRUE);
}

void Paint(HWND window, const PenWindow& pen) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (dc == nullptr) return;
  wchar_t text[kShownUnits];
  Describe(pen, text);
  // The system's font, drawn by USER32 alone: padscope-report imports no GDI.
  RECT area;
  GetClientRect(window, &area);
  InflateRect(&area, -32, -32);
  DrawTextW(dc, text, -1, &area, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
  EndPaint(window, &paint);
}

// WT_PROXIMITY: the low word of lParam is nonzero when the cursor enters
// the context, zero when it leaves.
LRESULT CALLBACK PenWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* pen = reinterpret_cast<PenWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (pen == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (pen->proximity != nullptr && message == pen->messageBase + wintab::kProximityMessageOffset) {
    pen->proximity(pen->proximityContext, LOWORD(lParam) != 0);
    return 0;
  }
  switch (message) {
    case WM_TIMER:
      if (wParam == kRefreshTimer) Refresh(window, *pen);
      return 0;
    case WM_PAINT:
      Paint(window, *pen);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE && pen->closed != nullptr) pen->closed->store(true);
      return 0;
    case WM_CLOSE:
      // The session destroys the window when its reading has ended.
      if (pen->closed != nullptr) pen->closed->store(true);
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
  pen.window = window;
  if (window == nullptr) return;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pen));
  if (!pen.visible) return;
  Refresh(window, pen);
  SetForegroundWindow(window);  // so that Escape reaches it
  SetTimer(window, kRefreshTimer, kRefreshMs, nullptr);
}

void DestroyPenWindow(PenWindow& pen) {
  if (pen.window == nullptr) return;
  KillTimer(static_cast<HWND>(pen.window), kRefreshTimer);
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

