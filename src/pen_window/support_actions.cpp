#include "pen_window/support_actions.h"

#include <commdlg.h>

#include <cstring>
#include <string>

#include "pen_window/pen_run.h"
#include "pen_window/support_record.h"
#include "pen_window/values_text.h"
#include "report/dialog_state.h"
#include "run/watchdog.h"

namespace {

// The report as far as it got: a report that hung is cut where the worker
// stood and ends in "<hung>", as the dialog shows it.
std::u16string ReportSoFar(const PenWindowState& state) {
  const DialogState& report = *state.run->report;
  if (!state.hung) return std::u16string(report.ReportText, ReportLength(report));
  std::u16string text(static_cast<const char16_t*>(report.ReportText), ReadWritePosition(report));
  return text + kHungEnding + u"\r\n";
}

std::u16string ClipboardText(const PenWindowState& state) {
  std::u16string text;
  if (state.run == nullptr) return text;
  const RunPhase phase = state.run->phase.load();
  if (phase != RunPhase::report || state.hung) text = ReportSoFar(state);
  if (phase == RunPhase::pen || phase == RunPhase::ended) text += state.run->diagnosis.section;
  text += u"\r\nPEN SESSION\r\n";
  text += ValuesText(state);
  return text;
}

bool PutOnClipboard(HWND window, const std::u16string& text) {
  const size_t bytes = (text.size() + 1) * sizeof(char16_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return false;
  void* locked = GlobalLock(memory);
  if (locked == nullptr) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(locked, text.c_str(), bytes);
  GlobalUnlock(memory);
  if (!OpenClipboard(window)) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  if (!placed) GlobalFree(memory);  // the clipboard owns it only when placed
  CloseClipboard();
  return placed;
}

// Written beside the chosen file first and moved over it only when whole:
// the chosen name holds the complete recording or what it held before.
bool WriteWhole(const wchar_t* path, const std::string& bytes) {
  std::wstring partial = path;
  partial += L".partial";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool complete = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size() && FlushFileBuffers(file);
  CloseHandle(file);
  if (complete && MoveFileExW(partial.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  DeleteFileW(partial.c_str());
  return false;
}

void Tell(HWND window, const std::wstring& text) {
  MessageBoxW(window, text.c_str(), L"PADSCOPE Pen", MB_OK | MB_ICONWARNING);
}

}  // namespace

void CopyReport(PenWindowState& state) {
  if (!PutOnClipboard(state.window, ClipboardText(state))) Tell(state.window, L"The report could not be copied.");
}

void SaveForSupport(PenWindowState& state) {
  if (state.run == nullptr || (state.run->phase.load() == RunPhase::report && !state.hung)) {
    Tell(state.window, L"The test is still running: save when its report is done.");
    return;
  }
  std::string profile, error;
  if (!RecordForSupport(*state.run, state.hung, profile, error)) {
    Tell(state.window, L"This test cannot be recorded: " + std::wstring(error.begin(), error.end()));
    return;
  }
  wchar_t path[MAX_PATH] = L"padscope-recording.profile";
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = state.window;
  dialog.lpstrFilter = L"Recordings (*.profile)\0*.profile\0All files\0*.*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = L"profile";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) return;  // cancelled
  if (!WriteWhole(path, profile)) Tell(state.window, L"The recording could not be written; nothing was saved.");
}
