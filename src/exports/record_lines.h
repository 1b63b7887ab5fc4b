// Pieces of the recording's lines (and of the pen check's JSON), appended
// in place: both are written by padscope-report, whose size is held small,
// so numbers are appended without temporary strings.
#pragma once

#include <cstdint>
#include <string>

inline void AppendDecimal(std::string& out, int64_t value) {
  char digits[24];
  int count = 0;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) out += '-';
  while (count > 0) out += digits[--count];
}

// " name value", or " value" for an empty name.
inline void AppendField(std::string& out, const char* name, int64_t value) {
  out += ' ';
  if (name[0] != '\0') {
    out += name;
    out += ' ';
  }
  AppendDecimal(out, value);
}
