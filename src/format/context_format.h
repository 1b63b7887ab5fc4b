// A whole LOGCONTEXTW, one labelled line per field.
#pragma once

#include <cstdint>

struct DialogState;

// Renders the context in queryBuffer (answer-size rule with 212). When
// contextDevice is not null it receives lcDevice of a complete record and 0
// in every other case.
void AppendContext(DialogState& state, uint32_t* contextDevice);
