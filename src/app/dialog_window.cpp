#include "app/dialog_window.h"

#include "app/output_font.h"
#include "app/test_session.h"
#include "report/dialog_state.h"
#include "res/resource_ids.h"

namespace {

DialogState* RecordOf(HWND dialog) { return reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void SetRecord(HWND dialog, DialogState* state) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
}

INT_PTR OnInitDialog(HWND dialog) {
  DialogState* state = NewDialogState(dialog);
  if (state == nullptr) {
    // Without its record the dialog can do nothing: close it at once.
    EndDialog(dialog, 0);
    return TRUE;
  }
  SetRecord(dialog, state);
  PrepareTestSession();
  SendDlgItemMessageW(dialog, IDC_OUTPUT, WM_SETFONT, reinterpret_cast<WPARAM>(CreateOutputFont()), FALSE);
  SendDlgItemMessageW(dialog, IDC_SAFE_MODE, BM_SETCHECK, BST_CHECKED, 0);
  SendDlgItemMessageW(dialog, IDC_SHOW_CONTEXT_DEVICE, BM_SETCHECK, BST_CHECKED, 0);
  return TRUE;  // the dialog manager focuses the first tab stop, "Do Test"
}

// The output box keeps its top-left corner; its right and bottom edges
// follow the client area. Nothing else moves.
INT_PTR OnSize(DialogState& state, LPARAM lParam) {
  HWND dialog = DialogWindowOf(state);
  HWND output = GetDlgItem(dialog, IDC_OUTPUT);
  RECT bounds = {};
  GetWindowRect(output, &bounds);
  POINT topLeft = {bounds.left, bounds.top};
  ScreenToClient(dialog, &topLeft);
  // A minimised dialog reports a 0 x 0 client area: the box shrinks to
  // nothing and grows back on restore.
  const int width = static_cast<int>(LOWORD(lParam)) - topLeft.x;
  const int height = static_cast<int>(HIWORD(lParam)) - topLeft.y;
  MoveWindow(output, topLeft.x, topLeft.y, width > 0 ? width : 0, height > 0 ? height : 0, TRUE);
  return TRUE;
}

// The notification code in the high word is never examined.
INT_PTR OnCommand(DialogState& state, WORD commandId) {
  switch (commandId) {
    case IDCANCEL:
      BeginClosing();
      EndDialog(DialogWindowOf(state), 0);  // a running test is stopped by WM_DESTROY
      return TRUE;
    case IDC_DO_TEST:
      StartTest(state);
      return TRUE;
    case IDC_DEBUG_BREAK:
      DebugBreak();
      return TRUE;
  }
  return FALSE;
}

// A hung test may end in a fresh record; the old one stays with its worker.
INT_PTR OnTimer(DialogState& state) {
  DialogState* owned = WatchdogTick(state);
  if (owned != &state) SetRecord(DialogWindowOf(*owned), owned);
  return TRUE;
}

INT_PTR OnFinishRequestMessage(DialogState& state, WPARAM wParam) {
  OnFinishRequest(state, static_cast<DWORD>(wParam));
  return TRUE;
}

// The worker is stopped first, so that a running test ends at once (and
// with it the process: see EndWorkerForDestroy).
void EndRecord(HWND dialog, DialogState& state) {
  SetRecord(dialog, nullptr);  // late messages find no record
  EndWorkerForDestroy(state);
  DeleteDialogState(&state);
}

// Without a record the program never set a font of its own: the output box
// still has the dialog manager's, which is not the program's to delete.
INT_PTR OnDestroy(HWND dialog, DialogState* state) {
  if (state == nullptr) return TRUE;
  EndRecord(dialog, *state);
  HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDC_OUTPUT, WM_GETFONT, 0, 0));
  SendDlgItemMessageW(dialog, IDC_OUTPUT, WM_SETFONT, 0, FALSE);
  DeleteObject(font);  // a no-op for the stock fallback font
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogState* state = RecordOf(dialog);
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog);
    case WM_SIZE:
      return state != nullptr ? OnSize(*state, lParam) : FALSE;
    case WM_COMMAND:
      return state != nullptr ? OnCommand(*state, LOWORD(wParam)) : FALSE;
    case WM_TIMER:
      return state != nullptr ? OnTimer(*state) : FALSE;
    case kFinishRequestMessage:
      return state != nullptr ? OnFinishRequestMessage(*state, wParam) : FALSE;
    case WM_DESTROY:
      return OnDestroy(dialog, state);
  }
  return FALSE;
}
