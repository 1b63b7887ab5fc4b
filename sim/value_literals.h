// The literals of the profile text: numbers, 16.16 fixed-point values,
// quoted UTF-8 text, and the names of categories and indices.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "profile.h"

namespace sim {

// Decimal or 0x-prefixed hexadecimal, at most `maximum`. False when the
// text is not such a number or is too large.
bool ParseUnsigned(std::string_view text, uint64_t maximum, uint64_t& value);

// Decimal (optionally negative) or hexadecimal 32-bit signed value; a
// hexadecimal literal may give the bit pattern (0xFFFFFFFF is -1).
bool ParseSigned32(std::string_view text, int32_t& value);

// 16.16 fixed point: "0x..." gives the raw bits, "1000" the whole number
// 1000.0, "1.5" a decimal rounded to the nearest 1/65536. False when out
// of range (integer part above 65535, or rounding up past it).
bool ParseFix32(std::string_view text, uint32_t& value);

// Decodes the body of a quoted string (the text between the quotes, UTF-8)
// into UTF-16. Escapes: \\ \" \n \t \0 and \uXXXX (one UTF-16 unit).
// On failure `error` says why.
bool DecodeQuoted(std::string_view body, std::u16string& text, std::string& error);

// "availability", "interface", "defcontext", "defsysctx", "device:N",
// "device:N-M", "cursor:N", "cursor:N-M", a number or a range "N-M".
bool ParseCategoryRange(std::string_view text, CategoryRange& range, std::string& error);

// A number or a Wintab index name (IFC_..., DVC_..., CSR_...). A name must
// fit the categories it is used with. `range` is the category range of the
// same line.
bool ParseIndex(std::string_view text, const CategoryRange& range, uint32_t& index, std::string& error);

}  // namespace sim
