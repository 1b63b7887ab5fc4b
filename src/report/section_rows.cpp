#include "report/section_rows.h"

#include "report/answer_logging.h"
#include "report/dialog_state.h"
#include "report/query_info.h"

void ReportSectionRows(DialogState& state, const char16_t* headingName, uint32_t number, uint32_t category,
                       const SectionRow* rows, size_t rowCount) {
  NewLine(state);
  NewLine(state);
  Append(state, u"%s%u", headingName, number);
  for (size_t i = 0; i < rowCount; ++i) {
    Label(state, rows[i].label);
    QueryInfo(state, category, rows[i].index);
    rows[i].render(state);
    EndLoggedRow(state);
  }
}
