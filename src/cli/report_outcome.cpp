#include "report_outcome.h"

#include <string_view>

#include "report/dialog_state.h"

namespace {

bool EndsWith(std::u16string_view text, std::u16string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The text ends in the ending and the final CR LF.
bool EndsIn(std::u16string_view text, std::u16string_view ending) {
  return EndsWith(text, u"\r\n") && EndsWith(text.substr(0, text.size() - 2), ending);
}

bool Contains(std::u16string_view text, std::u16string_view part) { return text.find(part) != text.npos; }

// The probe row with a zero answer: the label padded to column 31, the echo.
constexpr std::u16string_view kProbeZeroRow = u"\r\nWTInfoW(0,0,0)                 {  0} ";

}  // namespace

int ClassifyReport(const char16_t* text, size_t length) {
  const std::u16string_view report(text, length);
  if (EndsIn(report, kHungEnding)) return kExitHung;
  if (EndsIn(report, kHardExceptionEnding)) return kExitHardException;
  if (Contains(report, u"\r\nError: library WINTAB32.DLL not found") ||
      Contains(report, u"\r\nError: WTInfoW() not found")) {
    return kExitNoLibrary;
  }
  if (Contains(report, kProbeZeroRow) && !Contains(report, u"\r\nWTI_INTERFACE")) return kExitProbeZero;
  if (Contains(report, u"<exception>")) return kExitRowException;
  return kExitComplete;
}
