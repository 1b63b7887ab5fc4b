#include "format/value_format.h"
#include "report/dialog_state.h"
#include "report/report_sections.h"
#include "report/section_rows.h"

namespace {

using namespace wintab;

void RenderCapabilities(DialogState& state) { AppendFlagSetAnswer(state, kCapabilityFlags); }

// The rows of a cursor section: every index from CSR_NAME to
// CSR_CAPABILITIES, in increasing order.
constexpr SectionRow kCursorRows[] = {
    {u"CSR_NAME", CSR_NAME, AppendQuotedText},
    {u"CSR_ACTIVE", CSR_ACTIVE, AppendBool},
    {u"CSR_PKTDATA", CSR_PKTDATA, AppendPacketDataAnswer},
    {u"CSR_BUTTONS", CSR_BUTTONS, AppendByte},
    {u"CSR_BUTTONBITS", CSR_BUTTONBITS, AppendByte},
    {u"CSR_BTNNAMES", CSR_BTNNAMES, AppendNotDisplayed},
    {u"CSR_BUTTONMAP", CSR_BUTTONMAP, AppendNotDisplayed},
    {u"CSR_SYSBTNMAP", CSR_SYSBTNMAP, AppendNotDisplayed},
    {u"CSR_NPBUTTON", CSR_NPBUTTON, AppendByte},
    {u"CSR_NPBTNMARKS", CSR_NPBTNMARKS, AppendNotDisplayed},
    {u"CSR_NPRESPONSE", CSR_NPRESPONSE, AppendUintArray},
    {u"CSR_TPBUTTON", CSR_TPBUTTON, AppendByte},
    {u"CSR_TPBTNMARKS", CSR_TPBTNMARKS, AppendNotDisplayed},
    {u"CSR_TPRESPONSE", CSR_TPRESPONSE, AppendUintArray},
    {u"CSR_PHYSID", CSR_PHYSID, AppendUint},
    {u"CSR_MODE", CSR_MODE, AppendUint},
    {u"CSR_MINPKTDATA", CSR_MINPKTDATA, AppendUint},
    {u"CSR_MINBUTTONS", CSR_MINBUTTONS, AppendUint},
    {u"CSR_CAPABILITIES", CSR_CAPABILITIES, RenderCapabilities},
};
static_assert(sizeof(kCursorRows) / sizeof(kCursorRows[0]) == CSR_CAPABILITIES);

}  // namespace

void ReportCursor(DialogState& state, uint32_t cursor) {
  ReportSectionRows(state, u"WTI_CURSOR+", cursor, WTI_CURSORS + cursor,
                    kCursorRows, sizeof(kCursorRows) / sizeof(kCursorRows[0]));
}
