// 16.16 fixed-point values as exact decimals, in integer arithmetic only.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kFix32TextUnits = 23;      // 65535.9999847412109375 and NUL
inline constexpr size_t kFix32AreaUnits = 100;     // the area each caller provides

// Writes the exact decimal text of a FIX32 (integer part, ".", one to
// sixteen fraction digits without trailing zeros) into out, which must hold
// at least kFix32TextUnits units; always terminated.
void FormatFix32(char16_t* out, uint32_t value);

// Writes "%#08x [%s]" with the value and its FormatFix32 text into out,
// which must hold kFix32AreaUnits units; always terminated.
void FormatFix32Display(char16_t* out, uint32_t value);
