#include "app/output_font.h"

namespace {

// Bits 1 to 3 of lfPitchAndFamily are cleared; the family in the upper four
// bits stays.
constexpr BYTE kKeepFamilyBits = 0xF1;

}  // namespace

HFONT CreateOutputFont() {
  NONCLIENTMETRICSW metrics = {};
  static_assert(sizeof(metrics) == 504, "the full structure, iPaddedBorderWidth included");
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    return static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
  }
  LOGFONTW font = metrics.lfMessageFont;
  font.lfPitchAndFamily = static_cast<BYTE>((font.lfPitchAndFamily & kKeepFamilyBits) | FIXED_PITCH);
  font.lfFaceName[0] = L'\0';  // no face name: the mapper picks a fixed-pitch one
  HFONT created = CreateFontIndirectW(&font);
  return created != nullptr ? created : static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
}
