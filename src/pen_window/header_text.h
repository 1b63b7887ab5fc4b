// The pen window's header: what the report and the diagnosis found, in
// plain words, problems first.
#pragma once

#include <cstdint>
#include <string>

struct PenRun;

inline constexpr uint32_t kNamedCursors = 64;  // cursors whose names the window keeps

// The header once the report and the diagnosis are done. hungCall: the call
// that never returned when the report hung (null when it did not).
std::u16string HeaderText(const PenRun& run, bool hung, const char16_t* hungCall);

// Cursor n's CSR_NAME as the report read it ("" when not asked or empty).
std::u16string LoggedCursorName(const PenRun& run, uint32_t cursor);
