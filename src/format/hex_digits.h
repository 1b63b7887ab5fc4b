// Hexadecimal digits for the exports' texts (recording, JSON, diagnosis),
// written here rather than with snprintf: MinGW's C++ headers route the
// printf family to a printf of their own, linked statically, which nothing
// else in padscope-report needs.
#pragma once

#include <cstdint>
#include <string>

// At least `digits` digits (zeros in front), no prefix: HexDigits(0x2A, 4,
// true) is "002A".
inline std::string HexDigits(uint32_t value, int digits, bool upperCase) {
  const char* alphabet = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
  char text[8];
  int length = 0;
  do {
    text[length++] = alphabet[value & 0xF];
    value >>= 4;
  } while (value != 0);
  std::string out(digits > length ? static_cast<size_t>(digits - length) : 0, '0');
  while (length > 0) out += text[--length];
  return out;
}
