#include "value_literals.h"

#include <array>

#include "wintab/wintab_binding.h"

namespace sim {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

struct IndexName {
  const char* name;
  uint32_t index;
};

constexpr std::array kIndexNames = {
    IndexName{"IFC_WINTABID", wintab::IFC_WINTABID},
    IndexName{"IFC_SPECVERSION", wintab::IFC_SPECVERSION},
    IndexName{"IFC_IMPLVERSION", wintab::IFC_IMPLVERSION},
    IndexName{"IFC_NDEVICES", wintab::IFC_NDEVICES},
    IndexName{"IFC_NCURSORS", wintab::IFC_NCURSORS},
    IndexName{"IFC_NCONTEXTS", wintab::IFC_NCONTEXTS},
    IndexName{"DVC_NAME", wintab::DVC_NAME},
    IndexName{"DVC_HARDWARE", wintab::DVC_HARDWARE},
    IndexName{"DVC_PKTRATE", wintab::DVC_PKTRATE},
    IndexName{"DVC_PKTDATA", wintab::DVC_PKTDATA},
    IndexName{"DVC_CSRDATA", wintab::DVC_CSRDATA},
    IndexName{"DVC_X", wintab::DVC_X},
    IndexName{"DVC_Y", wintab::DVC_Y},
    IndexName{"DVC_Z", wintab::DVC_Z},
    IndexName{"DVC_NPRESSURE", wintab::DVC_NPRESSURE},
    IndexName{"DVC_TPRESSURE", wintab::DVC_TPRESSURE},
    IndexName{"DVC_ORIENTATION", wintab::DVC_ORIENTATION},
    IndexName{"DVC_PNPID", wintab::DVC_PNPID},
    IndexName{"CSR_NAME", wintab::CSR_NAME},
    IndexName{"CSR_ACTIVE", wintab::CSR_ACTIVE},
    IndexName{"CSR_PKTDATA", wintab::CSR_PKTDATA},
    IndexName{"CSR_BUTTONS", wintab::CSR_BUTTONS},
    IndexName{"CSR_BUTTONBITS", wintab::CSR_BUTTONBITS},
    IndexName{"CSR_BTNNAMES", wintab::CSR_BTNNAMES},
    IndexName{"CSR_BUTTONMAP", wintab::CSR_BUTTONMAP},
    IndexName{"CSR_SYSBTNMAP", wintab::CSR_SYSBTNMAP},
    IndexName{"CSR_NPBUTTON", wintab::CSR_NPBUTTON},
    IndexName{"CSR_NPBTNMARKS", wintab::CSR_NPBTNMARKS},
    IndexName{"CSR_NPRESPONSE", wintab::CSR_NPRESPONSE},
    IndexName{"CSR_TPBUTTON", wintab::CSR_TPBUTTON},
    IndexName{"CSR_TPBTNMARKS", wintab::CSR_TPBTNMARKS},
    IndexName{"CSR_TPRESPONSE", wintab::CSR_TPRESPONSE},
    IndexName{"CSR_PHYSID", wintab::CSR_PHYSID},
    IndexName{"CSR_MODE", wintab::CSR_MODE},
    IndexName{"CSR_MINPKTDATA", wintab::CSR_MINPKTDATA},
    IndexName{"CSR_MINBUTTONS", wintab::CSR_MINBUTTONS},
    IndexName{"CSR_CAPABILITIES", wintab::CSR_CAPABILITIES},
};

// Parses "N" or "N-M" (both unsigned) into first..last.
bool ParseNumberRange(std::string_view text, uint64_t& first, uint64_t& last) {
  const size_t dash = text.find('-');
  if (dash == std::string_view::npos) {
    if (!ParseUnsigned(text, 0xFFFFFFFFu, first)) return false;
    last = first;
    return true;
  }
  return ParseUnsigned(text.substr(0, dash), 0xFFFFFFFFu, first) &&
         ParseUnsigned(text.substr(dash + 1), 0xFFFFFFFFu, last) && first <= last;
}

void AppendCodePoint(std::u16string& text, uint32_t codePoint) {
  if (codePoint < 0x10000) {
    text.push_back(static_cast<char16_t>(codePoint));
  } else {
    codePoint -= 0x10000;
    text.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    text.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
  }
}

// Decodes one UTF-8 sequence starting at body[at]; advances `at`.
bool DecodeUtf8(std::string_view body, size_t& at, uint32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(body[at]);
  if (lead < 0x80) {
    codePoint = lead;
    ++at;
    return true;
  }
  struct Sequence {
    unsigned char mask;
    unsigned char pattern;
    size_t length;
    uint32_t minimum;  // smaller values would be overlong
  };
  static constexpr Sequence kSequences[] = {{0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
  const Sequence* sequence = nullptr;
  for (const Sequence& candidate : kSequences) {
    if ((lead & candidate.mask) == candidate.pattern) sequence = &candidate;
  }
  if (sequence == nullptr) return false;
  const size_t length = sequence->length;
  const uint32_t minimum = sequence->minimum;
  codePoint = lead & static_cast<unsigned char>(~sequence->mask & 0xFF);
  if (at + length > body.size()) return false;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(body[at + k]);
    if ((next & 0xC0) != 0x80) return false;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return false;
  }
  at += length;
  return true;
}

}  // namespace

bool ParseUnsigned(std::string_view text, uint64_t maximum, uint64_t& value) {
  uint64_t result = 0;
  const bool hexadecimal = StartsWith(text, "0x") || StartsWith(text, "0X");
  const std::string_view digits = hexadecimal ? text.substr(2) : text;
  if (digits.empty() || digits.size() > 20) return false;
  const uint64_t base = hexadecimal ? 16 : 10;
  for (char c : digits) {
    const int digit = hexadecimal ? HexValue(c) : (IsDigit(c) ? c - '0' : -1);
    if (digit < 0) return false;
    if (result > (maximum - static_cast<uint64_t>(digit)) / base) return false;
    result = result * base + static_cast<uint64_t>(digit);
  }
  value = result;
  return true;
}

bool ParseSigned32(std::string_view text, int32_t& value) {
  uint64_t magnitude = 0;
  if (StartsWith(text, "-")) {
    if (!ParseUnsigned(text.substr(1), 0x80000000u, magnitude)) return false;
    value = static_cast<int32_t>(-static_cast<int64_t>(magnitude));
    return true;
  }
  const bool hexadecimal = StartsWith(text, "0x") || StartsWith(text, "0X");
  if (!ParseUnsigned(text, hexadecimal ? 0xFFFFFFFFu : 0x7FFFFFFFu, magnitude)) return false;
  value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
  return true;
}

bool ParseFix32(std::string_view text, uint32_t& value) {
  uint64_t number = 0;
  if (StartsWith(text, "0x") || StartsWith(text, "0X")) {
    if (!ParseUnsigned(text, 0xFFFFFFFFu, number)) return false;
    value = static_cast<uint32_t>(number);
    return true;
  }
  const size_t point = text.find('.');
  if (!ParseUnsigned(text.substr(0, point), 0xFFFF, number)) return false;
  uint64_t result = number << 16;
  if (point != std::string_view::npos) {
    // Binary digits of the decimal fraction by repeated doubling of its
    // decimal digits: exact, whatever the number of places.
    std::string fraction(text.substr(point + 1));
    if (fraction.empty() || fraction.size() > 40) return false;
    for (char c : fraction) {
      if (!IsDigit(c)) return false;
    }
    auto doubleFraction = [&fraction]() {
      int carry = 0;
      for (size_t k = fraction.size(); k-- > 0;) {
        const int doubled = (fraction[k] - '0') * 2 + carry;
        fraction[k] = static_cast<char>('0' + doubled % 10);
        carry = doubled / 10;
      }
      return carry;
    };
    uint64_t bits = 0;
    for (int k = 0; k < 16; ++k) bits = (bits << 1) | static_cast<uint64_t>(doubleFraction());
    bits += static_cast<uint64_t>(doubleFraction());  // round half up
    result += bits;
    if (result > 0xFFFFFFFFu) return false;
  }
  value = static_cast<uint32_t>(result);
  return true;
}

bool DecodeQuoted(std::string_view body, std::u16string& text, std::string& error) {
  text.clear();
  size_t at = 0;
  while (at < body.size()) {
    if (body[at] != '\\') {
      uint32_t codePoint = 0;
      if (!DecodeUtf8(body, at, codePoint)) {
        error = "text is not valid UTF-8";
        return false;
      }
      AppendCodePoint(text, codePoint);
      continue;
    }
    if (at + 1 >= body.size()) {
      error = "text ends in a lone backslash";
      return false;
    }
    const char escape = body[at + 1];
    at += 2;
    switch (escape) {
      case '\\': text.push_back(u'\\'); break;
      case '"': text.push_back(u'"'); break;
      case 'n': text.push_back(u'\n'); break;
      case 't': text.push_back(u'\t'); break;
      case '0': text.push_back(u'\0'); break;
      case 'u': {
        uint64_t unit = 0;
        if (at + 4 > body.size() || !ParseUnsigned("0x" + std::string(body.substr(at, 4)), 0xFFFF, unit)) {
          error = "\\u needs four hexadecimal digits";
          return false;
        }
        text.push_back(static_cast<char16_t>(unit));
        at += 4;
        break;
      }
      default:
        error = std::string("unknown escape \\") + escape;
        return false;
    }
  }
  return true;
}

bool ParseCategoryRange(std::string_view text, CategoryRange& range, std::string& error) {
  struct Named {
    const char* name;
    uint32_t category;
  };
  static constexpr Named kNamed[] = {
      {"availability", wintab::kAvailability},
      {"interface", wintab::WTI_INTERFACE},
      {"defcontext", wintab::WTI_DEFCONTEXT},
      {"defsysctx", wintab::WTI_DEFSYSCTX},
  };
  for (const Named& named : kNamed) {
    if (text == named.name) {
      range = {named.category, named.category};
      return true;
    }
  }
  uint64_t base = 0;
  uint64_t limit = 0xFFFFFFFFu;
  std::string_view numbers = text;
  if (StartsWith(text, "device:")) {
    base = wintab::WTI_DEVICES;
    limit = wintab::WTI_CURSORS - wintab::WTI_DEVICES - 1;
    numbers = text.substr(7);
  } else if (StartsWith(text, "cursor:")) {
    base = wintab::WTI_CURSORS;
    limit = 0xFFFFFFFFu - wintab::WTI_CURSORS;
    numbers = text.substr(7);
  }
  uint64_t first = 0;
  uint64_t last = 0;
  if (!ParseNumberRange(numbers, first, last) || last > limit) {
    error = "bad category '" + std::string(text) + "'";
    if (last > limit && first <= last && base != 0) {
      error += ": past the limit of " + std::string(text.substr(0, 7)) + std::to_string(limit);
    }
    return false;
  }
  range = {static_cast<uint32_t>(base + first), static_cast<uint32_t>(base + last)};
  return true;
}

bool ParseIndex(std::string_view text, const CategoryRange& range, uint32_t& index, std::string& error) {
  uint64_t number = 0;
  if (ParseUnsigned(text, 0xFFFFFFFFu, number)) {
    index = static_cast<uint32_t>(number);
    return true;
  }
  for (const IndexName& named : kIndexNames) {
    if (text != named.name) continue;
    bool fits = false;
    if (StartsWith(text, "IFC_")) {
      fits = range.first == wintab::WTI_INTERFACE && range.last == wintab::WTI_INTERFACE;
    } else if (StartsWith(text, "DVC_")) {
      fits = range.first >= wintab::WTI_DEVICES && range.last < wintab::WTI_CURSORS;
    } else {
      fits = range.first >= wintab::WTI_CURSORS;
    }
    if (!fits) {
      error = "index " + std::string(text) + " does not belong to the category";
      return false;
    }
    index = named.index;
    return true;
  }
  error = "unknown index '" + std::string(text) + "'";
  return false;
}

}  // namespace sim
