// The report section of one device (category 100 + n) and of one cursor
// (category 200 + n).
#pragma once

#include <cstdint>

struct DialogState;

void ReportDevice(DialogState& state, uint32_t device);
void ReportCursor(DialogState& state, uint32_t cursor);
