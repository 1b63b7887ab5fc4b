// AXIS records as one brace-delimited piece of text.
#pragma once

#include "wintab/wintab_binding.h"

struct DialogState;

// One Append of "{min=%d;max=%d;units=%u %s;res=%s}", with two blanks in
// front when indented. No line break.
void AppendAxisRecord(DialogState& state, const wintab::AXIS& record, bool indented);

// The answer-size rule with 16, then the record at the start of queryBuffer.
void AppendAxis(DialogState& state);
