// Writing to the standard streams: the report to standard output, an error
// line to standard error.
#pragma once

#include <cstddef>
#include <string>

// Writes the report to standard output as UTF-8, or as UTF-16LE when asked,
// unchanged otherwise (CR LF stays CR LF). False when the write failed.
bool WriteReport(const char16_t* text, size_t length, bool utf16);

// Writes one line of error text and its line end to standard error. Not
// with fprintf: MinGW's C++ headers route the printf family to a printf of
// their own, linked statically, which nothing else in the program needs.
void WriteErrorLine(const std::string& line);
