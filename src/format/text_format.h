// The report's text formatter: the conversions %u %d %x %s, the flags - 0 #,
// field widths, no precision and no floating point, with the semantics of
// the Windows formatter wvsprintfW for exactly these. It is used on every
// platform so that the report is the same text everywhere.
//
// "%#x" writes the prefix "0x" for every value, zero included, and the prefix
// counts towards the field width: "%#08x" gives 0x3e80000 for 0x03E80000
// (nothing added to seven or more digits), 0x010000 for 0x00010000 and
// 0x000000 for 0.
//
// Formats are checked against the argument types at compile time:
// %u and %x take unsigned integers of at most 32 bits, %d signed ones,
// %s a UTF-16 string (const char16_t*).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace textformat {

// The longest piece one call produces, terminator included.
inline constexpr size_t kPieceUnitLimit = 1024;

enum class ArgKind : uint8_t { Unsigned, Signed, Text };

struct FormatArg {
  ArgKind kind;
  uint32_t number;       // Unsigned, and Signed as its two's complement
  const char16_t* text;  // Text
};

struct FormatResult {
  size_t stored;   // units written, not counting the terminator
  bool cut;        // the piece did not fit and was cut at the capacity
};

// Formats into out, writing at most `capacity` units including the
// terminating NUL (nothing at all when capacity is 0). A %s argument is read
// only as far as the output needs, and never beyond its first NUL.
FormatResult FormatPiece(char16_t* out, size_t capacity, const char16_t* format, const FormatArg* args,
                         size_t argCount);

template <class T>
constexpr ArgKind KindOf() {
  using D = std::decay_t<T>;
  if constexpr (std::is_same_v<D, const char16_t*> || std::is_same_v<D, char16_t*>) {
    return ArgKind::Text;
  } else {
    static_assert(std::is_integral_v<D> && !std::is_same_v<D, bool> && sizeof(D) <= 4,
                  "report formats take 32-bit integers and UTF-16 strings only");
    return std::is_signed_v<D> ? ArgKind::Signed : ArgKind::Unsigned;
  }
}

template <class T>
FormatArg MakeArg(const T& value) {
  constexpr ArgKind kind = KindOf<T>();
  if constexpr (kind == ArgKind::Text) {
    return FormatArg{kind, 0, value};
  } else {
    return FormatArg{kind, static_cast<uint32_t>(value), nullptr};
  }
}

// Compile-time check of a format literal against its argument kinds.
consteval bool FormatMatches(const char16_t* format, const ArgKind* kinds, size_t count) {
  size_t used = 0;
  for (const char16_t* p = format; *p != 0; ++p) {
    if (*p != u'%') continue;
    ++p;
    if (*p == u'%') continue;
    while (*p == u'-' || *p == u'0' || *p == u'#') ++p;
    while (*p >= u'0' && *p <= u'9') ++p;
    ArgKind wanted;
    if (*p == u'u' || *p == u'x') {
      wanted = ArgKind::Unsigned;
    } else if (*p == u'd') {
      wanted = ArgKind::Signed;
    } else if (*p == u's') {
      wanted = ArgKind::Text;
    } else {
      return false;  // a conversion the report never uses
    }
    if (used >= count || kinds[used] != wanted) return false;
    ++used;
  }
  return used == count;
}

template <class... Args>
struct CheckedFormat {
  const char16_t* text;

  template <size_t N>
  consteval CheckedFormat(const char16_t (&literal)[N]) : text(literal) {
    constexpr ArgKind kinds[sizeof...(Args) + 1] = {KindOf<Args>()..., ArgKind::Text};
    if (!FormatMatches(literal, kinds, sizeof...(Args))) {
      throw "format does not match its arguments";
    }
  }
};

}  // namespace textformat
