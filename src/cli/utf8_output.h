// Writing the report to standard output.
#pragma once

#include <cstddef>
#include <string>

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const char16_t* text, size_t length);

// Writes the report to standard output as UTF-8, or as UTF-16LE when asked,
// unchanged otherwise (CR LF stays CR LF). False when the write failed.
bool WriteReport(const char16_t* text, size_t length, bool utf16);
