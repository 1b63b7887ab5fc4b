// Writing the report to standard output.
#pragma once

#include <cstddef>
#include <string>

// Writes the report to standard output as UTF-8, or as UTF-16LE when asked,
// unchanged otherwise (CR LF stays CR LF). False when the write failed.
bool WriteReport(const char16_t* text, size_t length, bool utf16);
