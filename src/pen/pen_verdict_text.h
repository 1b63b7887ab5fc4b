// The pen session's verdict as one sentence, shared by the console's pen
// check and the pen window.
#pragma once

#include <cstddef>

#include "pen/pen_session.h"

// Writes the sentence for session.verdict into text (capacity units, NUL
// included; a longer sentence is cut) and returns its length: 0, and an
// empty text, for PenVerdict::none.
size_t PenVerdictText(const PenSession& session, char16_t* text, size_t capacity);
