// The pieces every part of the JSON document is written with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A JSON string of UTF-16 text (units long), or of a terminated text
// ("null" for a null pointer).
std::string JsonString(const char16_t* text, size_t units);
std::string JsonString(const char16_t* text);

// "0x%08x" as a JSON string.
std::string JsonHex32(uint32_t value);
