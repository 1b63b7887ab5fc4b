// Text for the pen window's controls, formatted as the report's pieces are.
#pragma once

#include <string>
#include <type_traits>

#include "format/text_format.h"

// Appends one formatted piece (at most textformat::kPieceUnitLimit - 1 units).
template <class... Args>
void AddText(std::u16string& out, textformat::CheckedFormat<std::type_identity_t<Args>...> format,
             const Args&... args) {
  char16_t piece[textformat::kPieceUnitLimit];
  const textformat::FormatArg packed[sizeof...(Args) + 1] = {textformat::MakeArg(args)..., textformat::FormatArg{}};
  out.append(piece, textformat::FormatPiece(piece, textformat::kPieceUnitLimit, format.text, packed, sizeof...(Args))
                        .stored);
}
