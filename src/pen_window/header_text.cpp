#include "pen_window/header_text.h"

#include "diagnosis/load_error.h"
#include "pen_window/pen_run.h"
#include "pen_window/window_text.h"
#include "report/answer_facts.h"
#include "report/dialog_state.h"
#include "wintab/wintab_binding.h"

namespace {

using namespace wintab;

// A logged text answer: UTF-16 up to its first NUL or its end.
std::u16string LoggedText16(const AnswerLog& log, const AnswerLogEntry* entry) {
  std::u16string text;
  if (!facts::Answered(entry)) return text;
  const uint8_t* bytes = AnswerBytes(log, *entry);
  if (bytes == nullptr) return text;
  for (uint32_t k = 0; k + 1 < entry->bytesLength; k += 2) {
    const auto unit = static_cast<char16_t>(bytes[k] | (bytes[k + 1] << 8));
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

void AddLibrary(std::u16string& out, const LibraryIdentity& library) {
  const char16_t* path = library.path.found ? library.path.text : u"(path unknown)";
  const char16_t* version = library.fileVersion.found ? library.fileVersion.text : u"no version";
  const char16_t* company = library.companyName.found ? library.companyName.text : u"no company named";
  AddText(out, u"Library: %s, version %s, %s\r\n", path, version, company);
}

// The one line that says why no tablet could be read, or nothing.
void AddWhyNoTablet(std::u16string& out, const PenRun& run, bool hung, const char16_t* hungCall) {
  if (hung) {
    AddText(out, u"The test stopped: %s never returned %s\r\n", hungCall != nullptr ? hungCall : u"a call",
            kHungEnding);
    return;
  }
  const RunOutcome& outcome = run.report->outcome;
  switch (outcome.ending) {
    case RunEnding::noLibrary:
      AddText(out, u"No tablet: WINTAB32.DLL could not be loaded (error %u). %s\r\n", run.log.library.loadError,
              LoadErrorMeaning(run.log.library.loadError));
      return;
    case RunEnding::noInfoEntry:
      AddText(out, u"No tablet: WINTAB32.DLL has no WTInfoW, so nothing can be asked.\r\n");
      return;
    case RunEnding::probeZero:
      AddText(out, u"No tablet: WINTAB32.DLL says no tablet is available (WTInfo(0,0,0) answered 0).\r\n");
      return;
    case RunEnding::probeFaulted:
      AddText(out, u"No tablet: WINTAB32.DLL faulted when asked whether a tablet is available %s.\r\n",
              u"<exception>");
      return;
    case RunEnding::hardException:
      AddText(out, u"The test stopped: a fault escaped Safe Mode %s\r\n", kHardExceptionEnding);
      return;
    default:
      return;
  }
}

void AddTablet(std::u16string& out, const PenRun& run) {
  const AnswerLog& log = run.log;
  const std::u16string device = LoggedText16(log, facts::Find(log, WTI_DEVICES, DVC_NAME));
  if (device.empty()) return;
  AddText(out, u"Tablet: %s", device.c_str());
  const char16_t* separator = u"; cursors: ";
  for (const uint32_t n : facts::Numbers(log, WTI_CURSORS, WTI_CURSORS + kNamedCursors)) {
    AddText(out, u"%s%u \"%s\"", separator, n, LoggedCursorName(run, n).c_str());
    separator = u", ";
  }
  out += u"\r\n";
}

void AddFindings(std::u16string& out, const RunDiagnosis& diagnosis) {
  static const struct {
    Severity severity;
    const char16_t* word;
  } kOrder[] = {{Severity::problem, u"Problem"}, {Severity::warning, u"Warning"}, {Severity::note, u"Note"}};
  for (const auto& kind : kOrder) {
    for (const Finding& finding : diagnosis.findings) {
      if (finding.severity == kind.severity) AddText(out, u"%s: %s\r\n", kind.word, finding.sentence.c_str());
    }
  }
  if (diagnosis.findings.empty()) out += u"No findings: the library answered as a tablet's library should.\r\n";
}

}  // namespace

std::u16string LoggedCursorName(const PenRun& run, uint32_t cursor) {
  return LoggedText16(run.log, facts::Find(run.log, WTI_CURSORS + cursor, CSR_NAME));
}

std::u16string HeaderText(const PenRun& run, bool hung, const char16_t* hungCall) {
  std::u16string out;
  if (run.log.library.loaded) AddLibrary(out, run.log.library);
  AddWhyNoTablet(out, run, hung, hungCall);
  AddTablet(out, run);
  if (!hung) AddFindings(out, run.diagnosis);
  return out;
}
