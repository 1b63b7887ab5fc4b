#include "format/axis_format.h"

#include <cstring>

#include "format/fix32.h"
#include "format/value_format.h"
#include "report/dialog_state.h"

namespace {

constexpr size_t kUnitsTextUnits = 200;

const char16_t* UnitsName(uint32_t units) {
  switch (units) {
    case 0: return u"NONE";
    case 1: return u"INCHES";
    case 2: return u"CENTIMETERS";
    case 3: return u"CIRCLE";
    default: return u"???";
  }
}

}  // namespace

void AppendAxisRecord(DialogState& state, const wintab::AXIS& record, bool indented) {
  char16_t unitsText[kUnitsTextUnits];
  const textformat::FormatArg name = textformat::MakeArg(UnitsName(record.axUnits));
  textformat::FormatPiece(unitsText, kUnitsTextUnits, u"[%s]", &name, 1);
  char16_t resolution[kFix32AreaUnits];
  FormatFix32Display(resolution, record.axResolution);

  const char16_t* units = unitsText;
  const char16_t* res = resolution;
  if (indented) {
    Append(state, u"  {min=%d;max=%d;units=%u %s;res=%s}", record.axMin, record.axMax, record.axUnits, units,
           res);
  } else {
    Append(state, u"{min=%d;max=%d;units=%u %s;res=%s}", record.axMin, record.axMax, record.axUnits, units, res);
  }
}

void AppendAxis(DialogState& state) {
  if (!AnswerHasSize(state, sizeof(wintab::AXIS))) return;
  wintab::AXIS record;
  std::memcpy(&record, state.queryBuffer, sizeof(record));
  AppendAxisRecord(state, record, false);
}
