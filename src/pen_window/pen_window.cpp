#include "pen_window/pen_window.h"

#include <new>

#include "pen_window/canvas_view.h"
#include "pen_window/pen_window_state.h"
#include "pen_window/run_watch.h"
#include "pen_window/support_actions.h"
#include "pen_window/values_text.h"
#include "res/pen_resource_ids.h"

namespace {

// The refresh: packets drained, ink drawn and the canvas repainted at most
// this often (about 60 times a second); the panels' texts less often.
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 17;
constexpr uint64_t kPanelMs = 100;

bool leftWorkerBehind = false;

PenWindowState* RecordOf(HWND window) {
  return reinterpret_cast<PenWindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HFONT CreateMessageFont() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  return font != nullptr ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int LineHeightOf(HWND window, HFONT font) {
  HDC dc = GetDC(window);
  HGDIOBJ before = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, before);
  ReleaseDC(window, dc);
  return metrics.tmHeight > 0 ? metrics.tmHeight : 16;
}

HWND AddChild(PenWindowState& state, const wchar_t* type, const wchar_t* text, DWORD style, int id) {
  HWND child = CreateWindowExW(0, type, text, WS_CHILD | style, 0, 0, 0, 0, state.window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
  return child;
}

LRESULT OnCreate(HWND window) {
  auto* state = new (std::nothrow) PenWindowState;
  if (state == nullptr) return -1;  // the window is not created; the program ends
  state->window = window;
  state->font = CreateMessageFont();
  state->lineHeight = LineHeightOf(window, state->font);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  AddChild(*state, L"BUTTON", L"Test again", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDC_PEN_TEST_AGAIN);
  AddChild(*state, L"BUTTON", L"Clear", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDC_PEN_CLEAR);
  AddChild(*state, L"BUTTON", L"Copy report", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDC_PEN_COPY_REPORT);
  AddChild(*state, L"BUTTON", L"Save for support...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDC_PEN_SAVE);
  state->header = AddChild(*state, L"EDIT", L"",
                           WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                           IDC_PEN_HEADER);
  state->values = AddChild(*state, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, IDC_PEN_VALUES);
  // Not shown: what tests read of the session.
  state->status = AddChild(*state, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, IDC_PEN_STATUS);
  StartRun(*state);
  SetTimer(window, kRefreshTimer, kRefreshMs, nullptr);
  return 0;
}

// Buttons along the top, the header under them, the canvas filling the
// rest but for the values panel on the right, whose pressure bar sits
// under its text.
LRESULT OnSize(PenWindowState& state, int width, int height) {
  const int unit = state.lineHeight;
  const int gap = unit / 2;
  const int buttonHeight = unit + unit / 2 + 4;
  static const struct {
    int id;
    int widthInUnits;
  } kButtons[] = {{IDC_PEN_TEST_AGAIN, 7}, {IDC_PEN_CLEAR, 5}, {IDC_PEN_COPY_REPORT, 8}, {IDC_PEN_SAVE, 11}};
  int x = gap;
  for (const auto& button : kButtons) {
    MoveWindow(GetDlgItem(state.window, button.id), x, gap, button.widthInUnits * unit, buttonHeight, TRUE);
    x += button.widthInUnits * unit + gap;
  }
  const int headerTop = gap + buttonHeight + gap;
  const int headerHeight = 6 * unit + 6;
  MoveWindow(state.header, gap, headerTop, width - 2 * gap > 0 ? width - 2 * gap : 0, headerHeight, TRUE);
  const int top = headerTop + headerHeight + gap;
  const int panelWidth = 18 * unit;
  const int panelLeft = width - gap - panelWidth;
  const int barHeight = unit;
  state.valuesArea = RECT{panelLeft, top, panelLeft + panelWidth, height - gap};
  const int textHeight = height - gap - top - barHeight - gap;
  MoveWindow(state.values, panelLeft, top + barHeight + gap, panelWidth, textHeight > 0 ? textHeight : 0, TRUE);
  state.barArea = RECT{panelLeft, top, panelLeft + panelWidth, top + barHeight};
  CanvasRect room{gap, top, panelLeft - gap, height - gap};
  if (room.right < room.left) room.right = room.left;
  if (room.bottom < room.top) room.bottom = room.top;
  PlaceCanvas(state, room);
  InvalidateRect(state.window, nullptr, FALSE);
  return 0;
}

LRESULT OnGetMinMaxInfo(HWND window, LPARAM lParam) {
  PenWindowState* state = RecordOf(window);
  const int unit = state != nullptr ? state->lineHeight : 16;
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  info->ptMinTrackSize.x = 48 * unit;
  info->ptMinTrackSize.y = 30 * unit;
  return 0;
}

void SetTextIfChanged(HWND control, std::u16string& shown, const std::u16string& text) {
  if (text == shown) return;
  shown = text;
  SetWindowTextW(control, reinterpret_cast<const wchar_t*>(text.c_str()));
}

LRESULT OnTimer(PenWindowState& state) {
  const uint64_t now = GetTickCount64();
  WatchRun(state, now);
  InvalidateCanvas(state);
  if (now - state.lastPanelUpdate >= kPanelMs) {
    state.lastPanelUpdate = now;
    SetTextIfChanged(state.values, state.shownValues, ValuesText(state));
    SetTextIfChanged(state.status, state.shownStatus, StatusText(state));
    InvalidateRect(state.window, &state.barArea, FALSE);
  }
  return 0;
}

LRESULT OnCommand(PenWindowState& state, WORD commandId) {
  switch (commandId) {
    case IDC_PEN_TEST_AGAIN:
      TestAgain(state);
      return 0;
    case IDC_PEN_CLEAR:
      ClearCanvas(state);
      InvalidateCanvas(state);
      return 0;
    case IDC_PEN_COPY_REPORT:
      CopyReport(state);
      return 0;
    case IDC_PEN_SAVE:
      SaveForSupport(state);
      return 0;
  }
  return 0;
}

// The record is never freed: a worker that is still running or stuck may
// read the window's handle, and the process ends right after.
LRESULT OnDestroy(HWND window, PenWindowState* state) {
  KillTimer(window, kRefreshTimer);
  if (state != nullptr) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);  // late messages find no record
    leftWorkerBehind = EndRunsForClose(*state);
    ReleaseCanvas(*state);
  }
  PostQuitMessage(0);
  return 0;
}

LRESULT CALLBACK PenWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  PenWindowState* state = RecordOf(window);
  switch (message) {
    case WM_CREATE:
      return OnCreate(window);
    case WM_SIZE:
      return state != nullptr ? OnSize(*state, LOWORD(lParam), HIWORD(lParam)) : 0;
    case WM_GETMINMAXINFO:
      return OnGetMinMaxInfo(window, lParam);
    case WM_TIMER:
      return state != nullptr ? OnTimer(*state) : 0;
    case WM_COMMAND:
      return state != nullptr ? OnCommand(*state, LOWORD(wParam)) : 0;
    case WM_PAINT:
      if (state == nullptr) break;
      PaintPenWindow(*state);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_DESTROY:
      return OnDestroy(window, state);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool RegisterPenWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = &PenWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = nullptr;
  windowClass.lpszClassName = kPenWindowClass;
  return RegisterClassExW(&windowClass) != 0;
}

bool PenWindowLeftWorkerBehind() { return leftWorkerBehind; }
