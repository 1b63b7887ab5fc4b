#include "report_outcome.h"

#include <string_view>

namespace {

bool EndsWith(std::u16string_view text, std::u16string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool Contains(std::u16string_view text, std::u16string_view part) { return text.find(part) != text.npos; }

// The probe row with a zero answer: the label padded to column 31, the echo.
constexpr std::u16string_view kProbeZeroRow = u"\r\nWTInfoW(0,0,0)                 {  0} ";

}  // namespace

int ClassifyReport(const char16_t* text, size_t length) {
  const std::u16string_view report(text, length);
  if (EndsWith(report, u"<hung>\r\n")) return kExitHung;
  if (EndsWith(report, u"<hard exception>\r\n")) return kExitHardException;
  if (Contains(report, u"\r\nError: library WINTAB32.DLL not found") ||
      Contains(report, u"\r\nError: WTInfoW() not found")) {
    return kExitNoLibrary;
  }
  if (Contains(report, kProbeZeroRow) && !Contains(report, u"\r\nWTI_INTERFACE")) return kExitProbeZero;
  if (Contains(report, u"<exception>")) return kExitRowException;
  return kExitComplete;
}
