#include "format/text_format.h"

namespace textformat {
namespace {

// Writes into a caller's area of `capacity` units, keeping one for the NUL.
struct PieceWriter {
  char16_t* out;
  size_t capacity;
  size_t stored = 0;
  bool cut = false;

  void Put(char16_t unit) {
    if (stored + 1 < capacity) {
      out[stored++] = unit;
    } else {
      cut = true;
    }
  }
  void Repeat(char16_t unit, size_t count) {
    for (size_t i = 0; i < count && !cut; ++i) Put(unit);
  }
  bool Full() const { return cut; }
};

struct Spec {
  bool leftAlign = false;
  bool zeroPad = false;
  bool prefix = false;
  size_t width = 0;
};

// Digits of a number, least significant first.
size_t NumberDigits(char16_t* digits, uint32_t value, uint32_t base) {
  size_t count = 0;
  do {
    const uint32_t digit = value % base;
    digits[count++] = static_cast<char16_t>(digit < 10 ? u'0' + digit : u'a' + (digit - 10));
    value /= base;
  } while (value != 0);
  return count;
}

void WriteNumber(PieceWriter& writer, const Spec& spec, char16_t conversion, uint32_t bits) {
  char16_t lead[2];
  size_t leadCount = 0;
  uint32_t magnitude = bits;
  uint32_t base = 10;
  if (conversion == u'd') {
    const int32_t value = static_cast<int32_t>(bits);
    if (value < 0) {
      lead[leadCount++] = u'-';
      magnitude = 0u - bits;  // also right for INT32_MIN
    }
  } else if (conversion == u'x') {
    base = 16;
    if (spec.prefix) {
      lead[leadCount++] = u'0';
      lead[leadCount++] = u'x';
    }
  }
  char16_t digits[16];
  const size_t digitCount = NumberDigits(digits, magnitude, base);
  const size_t length = leadCount + digitCount;
  const size_t fill = spec.width > length ? spec.width - length : 0;

  if (!spec.leftAlign && !spec.zeroPad) writer.Repeat(u' ', fill);
  for (size_t i = 0; i < leadCount; ++i) writer.Put(lead[i]);
  if (!spec.leftAlign && spec.zeroPad) writer.Repeat(u'0', fill);
  for (size_t i = digitCount; i > 0; --i) writer.Put(digits[i - 1]);
  if (spec.leftAlign) writer.Repeat(u' ', fill);
}

void WriteText(PieceWriter& writer, const Spec& spec, const char16_t* text) {
  if (text == nullptr) text = u"(null)";
  // Read only as far as the output can use: the field width, or the room
  // left in the area, whichever is larger.
  const size_t room = writer.capacity > writer.stored ? writer.capacity - writer.stored : 0;
  const size_t limit = spec.width > room ? spec.width : room;
  size_t length = 0;
  while (length < limit && text[length] != 0) ++length;
  const size_t fill = spec.width > length ? spec.width - length : 0;
  const char16_t filler = spec.zeroPad && !spec.leftAlign ? u'0' : u' ';

  if (!spec.leftAlign) writer.Repeat(filler, fill);
  for (size_t i = 0; i < length && !writer.Full(); ++i) writer.Put(text[i]);
  if (spec.leftAlign) writer.Repeat(u' ', fill);
}

}  // namespace

FormatResult FormatPiece(char16_t* out, size_t capacity, const char16_t* format, const FormatArg* args,
                         size_t argCount) {
  PieceWriter writer{out, capacity};
  size_t nextArg = 0;
  for (const char16_t* p = format; *p != 0 && !writer.Full(); ++p) {
    if (*p != u'%') {
      writer.Put(*p);
      continue;
    }
    ++p;
    if (*p == 0) break;
    if (*p == u'%') {
      writer.Put(u'%');
      continue;
    }
    Spec spec;
    for (;; ++p) {
      if (*p == u'-') {
        spec.leftAlign = true;
      } else if (*p == u'0') {
        spec.zeroPad = true;
      } else if (*p == u'#') {
        spec.prefix = true;
      } else {
        break;
      }
    }
    while (*p >= u'0' && *p <= u'9') {
      spec.width = spec.width * 10 + static_cast<size_t>(*p - u'0');
      if (spec.width > kPieceUnitLimit) spec.width = kPieceUnitLimit;
      ++p;
    }
    const char16_t conversion = *p;
    if (conversion == 0) break;
    if (nextArg >= argCount) break;  // the compile-time check rules this out
    const FormatArg& arg = args[nextArg++];
    switch (conversion) {
      case u'u':
      case u'd':
      case u'x':
        WriteNumber(writer, spec, conversion, arg.number);
        break;
      case u's':
        WriteText(writer, spec, arg.text);
        break;
      default:
        writer.Put(conversion);
        break;
    }
  }
  if (capacity > 0) out[writer.stored] = 0;
  return FormatResult{writer.stored, writer.cut};
}

}  // namespace textformat
