// UTF-16 to UTF-8, for the places where report text or a file name leaves
// the program: standard output, dlopen, test messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Appends one code point as UTF-8.
inline void AppendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

// The code point of the unit at text[i] (with its low surrogate when a pair
// starts there; i then moves past it). A lone surrogate has no UTF-8 form
// and becomes U+FFFD.
inline uint32_t NextCodePoint(const char16_t* text, size_t length, size_t& i) {
  const uint32_t unit = text[i];
  if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
    ++i;
    return 0x10000 + ((unit - 0xD800) << 10) + (text[i] - 0xDC00u);
  }
  return unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit;
}

inline std::string ToUtf8(const char16_t* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) AppendUtf8(out, NextCodePoint(text, length, i));
  return out;
}
