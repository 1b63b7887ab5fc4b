#include <cstring>

#include "format/axis_format.h"
#include "format/value_format.h"
#include "report/dialog_state.h"
#include "report/report_sections.h"
#include "report/section_rows.h"

namespace {

using namespace wintab;

constexpr uint32_t kOrientationRecords = 3;

void RenderHardware(DialogState& state) { AppendFlagSetAnswer(state, kHardwareFlags); }

// Three AXIS records framed by braces, one per line.
void RenderOrientation(DialogState& state) {
  if (!AnswerHasSize(state, kOrientationRecords * sizeof(AXIS))) return;
  Append(state, u"{");
  NewLine(state);
  for (uint32_t k = 0; k < kOrientationRecords; ++k) {
    AXIS record;
    std::memcpy(&record, state.queryBuffer + k * sizeof(AXIS), sizeof(record));
    AppendAxisRecord(state, record, true);
    NewLine(state);
  }
  Append(state, u"}");
}

// The rows of a device section, in report order. Indices not listed here
// are never asked.
constexpr SectionRow kDeviceRows[] = {
    {u"DVC_NAME", DVC_NAME, AppendQuotedText},
    {u"DVC_HARDWARE", DVC_HARDWARE, RenderHardware},
    {u"DVC_PKTRATE", DVC_PKTRATE, AppendUint},
    {u"DVC_PKTDATA", DVC_PKTDATA, AppendPacketDataAnswer},
    {u"DVC_CSRDATA", DVC_CSRDATA, AppendPacketDataAnswer},
    {u"DVC_X", DVC_X, AppendAxis},
    {u"DVC_Y", DVC_Y, AppendAxis},
    {u"DVC_Z", DVC_Z, AppendAxis},
    {u"DVC_NPRESSURE", DVC_NPRESSURE, AppendAxis},
    {u"DVC_TPRESSURE", DVC_TPRESSURE, AppendAxis},
    {u"DVC_ORIENTATION", DVC_ORIENTATION, RenderOrientation},
    {u"DVC_PNPID", DVC_PNPID, AppendQuotedText},
};

}  // namespace

void ReportDevice(DialogState& state, uint32_t device) {
  ReportSectionRows(state, u"WTI_DEVICE+", device, WTI_DEVICES + device,
                    kDeviceRows, sizeof(kDeviceRows) / sizeof(kDeviceRows[0]));
}
