// Shared helpers of the engine tests: a report record to write into, answers
// placed where QueryInfo leaves them, and the report text read back for
// comparison and for readable failure messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "format/utf8_encoding.h"
#include "report/dialog_state.h"

namespace testsupport {

struct StateDeleter {
  void operator()(DialogState* state) const { DeleteDialogState(state); }
};
using StatePtr = std::unique_ptr<DialogState, StateDeleter>;

// A fresh record (no dialog) with an empty report; null only when memory is
// short, which the callers treat as a failed precondition.
inline StatePtr MakeState() {
  StatePtr state(NewDialogState(nullptr));
  if (state) ResetReport(*state);
  return state;
}

// Places an answer as QueryInfo leaves it: the whole buffer cleared, the
// bytes at its start, their count in lastQuerySize.
inline void SetAnswer(DialogState& state, const std::vector<uint8_t>& bytes) {
  std::memset(state.queryBuffer, 0, sizeof(state.queryBuffer));
  if (!bytes.empty()) std::memcpy(state.queryBuffer, bytes.data(), bytes.size());
  state.lastQuerySize = static_cast<uint32_t>(bytes.size());
}

// An answer of `size` zero bytes.
inline void SetZeroAnswer(DialogState& state, uint32_t size) {
  std::memset(state.queryBuffer, 0, sizeof(state.queryBuffer));
  state.lastQuerySize = size;
}

// Little-endian answer bytes, built field by field.
class Bytes {
 public:
  Bytes& U8(uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  Bytes& U16(uint16_t value) { return U8(static_cast<uint8_t>(value)).U8(static_cast<uint8_t>(value >> 8)); }
  Bytes& U32(uint32_t value) { return U16(static_cast<uint16_t>(value)).U16(static_cast<uint16_t>(value >> 16)); }
  Bytes& I32(int32_t value) { return U32(static_cast<uint32_t>(value)); }
  Bytes& Text(std::u16string_view text) {
    for (char16_t unit : text) U16(unit);
    return *this;
  }
  Bytes& Zeros(size_t count) {
    bytes_.insert(bytes_.end(), count, 0);
    return *this;
  }
  const std::vector<uint8_t>& Get() const { return bytes_; }
  operator const std::vector<uint8_t>&() const { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
};

inline size_t WrittenUnits(const DialogState& state) {
  return static_cast<size_t>(state.writePosition - state.ReportText);
}

// The report so far: from the start of ReportText up to writePosition.
inline std::u16string ReportString(const DialogState& state) {
  return std::u16string(state.ReportText, WrittenUnits(state));
}

// UTF-8 for failure messages; CR and LF are shown as \r and \n so that
// line structure stays visible, other controls as \uXXXX.
inline std::string Readable(std::u16string_view text) {
  std::string out;
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < text.size(); ++i) {
    const uint32_t unit = text[i];
    if (unit == u'\r') {
      out += "\\r";
      continue;
    }
    if (unit == u'\n') {
      out += "\\n";
      continue;
    }
    const uint32_t code = NextCodePoint(text.data(), text.size(), i);
    if (unit < 0x20 || (unit >= 0xD800 && unit < 0xE000 && code == 0xFFFD)) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
    } else {
      AppendUtf8(out, code);
    }
  }
  return out;
}

inline std::u16string U16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

inline std::u16string Decimal(uint64_t value) { return U16(std::to_string(value)); }

// The name left-aligned in `width` columns, as "%-<width>s" fills it.
inline std::u16string LeftAligned(std::u16string_view name, size_t width) {
  std::u16string out(name);
  if (out.size() < width) out.append(width - out.size(), u' ');
  return out;
}

// The size echo "{%3u} ": the count right-aligned in three columns.
inline std::u16string Echo(uint32_t count) {
  std::u16string digits = Decimal(count);
  std::u16string out = u"{";
  if (digits.size() < 3) out.append(3 - digits.size(), u' ');
  return out + digits + u"} ";
}

// A labelled row as Label starts it: CR LF, the name in 30 columns, a blank.
inline std::u16string RowStart(std::u16string_view label) { return u"\r\n" + LeftAligned(label, 30) + u" "; }

inline std::u16string InvalidLength(uint32_t expected) {
  return u"<invalid buffer length: expected " + Decimal(expected) + u">";
}

}  // namespace testsupport
