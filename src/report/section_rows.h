// What a device section and a cursor section have in common: a heading with
// the item's number, then one row per index, each asked and rendered.
#pragma once

#include <cstddef>
#include <cstdint>

struct DialogState;

struct SectionRow {
  const char16_t* label;
  uint32_t index;
  void (*render)(DialogState& state);  // decodes the answer the query left
};

// Two line breaks, headingName followed by number ("WTI_DEVICE+0"), then for
// each row: its label, the query of (category, index), its rendering.
void ReportSectionRows(DialogState& state, const char16_t* headingName, uint32_t number, uint32_t category,
                       const SectionRow* rows, size_t rowCount);
