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
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c == u'\r') {
      out += "\\r";
    } else if (c == u'\n') {
      out += "\\n";
    } else if (c < 0x20 || (c >= 0xD800 && c < 0xE000)) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
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
