// What the system's answer to loading WINTAB32.DLL means for the person who
// runs the test: the finding's words and the pen check's error line.
#pragma once

#include <cstdint>

// One sentence, ending in a full stop, for the load's error code: the
// library absent (126), present but not a library this edition of the
// program can load (193, with the likely cause), its initialisation failed
// (1114), or the code alone.
const char16_t* LoadErrorMeaning(uint32_t code);
