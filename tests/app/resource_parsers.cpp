#include "resource_parsers.h"

#include "pe_image.h"

namespace pe {

namespace {

size_t AlignUp(size_t value, size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// Reads a NUL-terminated UTF-16 string at offset; advances offset past it.
bool ReadString(const ByteReader& in, size_t& offset, std::u16string& out) {
  out.clear();
  while (in.Has(offset, 2)) {
    const char16_t unit = in.U16(offset);
    offset += 2;
    if (unit == 0) return true;
    out += unit;
  }
  return false;
}

bool ReadNameOrOrdinal(const ByteReader& in, size_t& offset, NameOrOrdinal& out) {
  const uint16_t first = in.U16(offset);
  if (first == 0xFFFF) {
    out.isOrdinal = true;
    out.ordinal = in.U16(offset + 2);
    offset += 4;
    return in.ok();
  }
  return ReadString(in, offset, out.name);
}

}  // namespace

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::optional<DialogTemplate> ParseDialogTemplateEx(const std::vector<uint8_t>& data, std::string& error) {
  const ByteReader in(data);
  DialogTemplate t;
  t.version = in.U16(0);
  t.signature = in.U16(2);
  t.helpId = in.U32(4);
  t.exStyle = in.U32(8);
  t.style = in.U32(12);
  const uint16_t count = in.U16(16);
  t.x = static_cast<int16_t>(in.U16(18));
  t.y = static_cast<int16_t>(in.U16(20));
  t.cx = static_cast<int16_t>(in.U16(22));
  t.cy = static_cast<int16_t>(in.U16(24));
  size_t at = 26;
  if (!ReadNameOrOrdinal(in, at, t.menu) || !ReadNameOrOrdinal(in, at, t.windowClass) || !ReadString(in, at, t.title)) {
    error = "dialog header runs past the end";
    return std::nullopt;
  }
  constexpr uint32_t kSetFont = 0x40;
  if ((t.style & kSetFont) != 0) {
    t.hasFont = true;
    t.pointSize = in.U16(at);
    t.weight = in.U16(at + 2);
    t.italic = in.U8(at + 4);
    t.charset = in.U8(at + 5);
    at += 6;
    if (!ReadString(in, at, t.typeface)) {
      error = "dialog font runs past the end";
      return std::nullopt;
    }
  }
  for (uint16_t i = 0; i < count; ++i) {
    at = AlignUp(at, 4);
    DialogItem item;
    item.helpId = in.U32(at);
    item.exStyle = in.U32(at + 4);
    item.style = in.U32(at + 8);
    item.x = static_cast<int16_t>(in.U16(at + 12));
    item.y = static_cast<int16_t>(in.U16(at + 14));
    item.cx = static_cast<int16_t>(in.U16(at + 16));
    item.cy = static_cast<int16_t>(in.U16(at + 18));
    item.id = in.U32(at + 20);
    at += 24;
    if (!ReadNameOrOrdinal(in, at, item.windowClass) || !ReadNameOrOrdinal(in, at, item.title)) {
      error = "dialog item " + std::to_string(i) + " runs past the end";
      return std::nullopt;
    }
    item.extraBytes = in.U16(at);
    at += 2 + item.extraBytes;
    if (!in.ok() || at > data.size()) {
      error = "dialog item " + std::to_string(i) + " runs past the end";
      return std::nullopt;
    }
    t.items.push_back(item);
  }
  return t;
}

namespace {

// One block: WORD length, WORD value length, WORD type, key, padding,
// value, padding, children up to length.
bool ParseVersionNode(const ByteReader& in, size_t begin, size_t end, VersionNode& node, std::string& error,
                      int depth) {
  const size_t length = in.U16(begin);
  const size_t valueLength = in.U16(begin + 2);
  node.type = in.U16(begin + 4);
  if (length < 6 || begin + length > end || depth > 8) {
    error = "version block of bad length";
    return false;
  }
  const size_t blockEnd = begin + length;
  size_t at = begin + 6;
  if (!ReadString(in, at, node.key) || at > blockEnd) {
    error = "version key runs past its block";
    return false;
  }
  at = AlignUp(at, 4);
  // Text values count UTF-16 units, binary ones bytes.
  const size_t valueBytes = node.type == 1 ? valueLength * 2 : valueLength;
  if (valueBytes > 0) {
    if (at + valueBytes > blockEnd) {
      error = "value of " + Narrow(node.key) + " runs past its block";
      return false;
    }
    node.value.assign(in.data() + at, in.data() + at + valueBytes);
    if (node.type == 1) {
      for (size_t i = 0; i + 1 < valueBytes; i += 2) {
        const char16_t unit = static_cast<char16_t>(node.value[i] | node.value[i + 1] << 8);
        if (unit == 0) {
          node.textTerminated = true;
          break;
        }
        node.text += unit;
      }
    }
    at += valueBytes;
  }
  at = AlignUp(at, 4);
  while (at < blockEnd) {
    VersionNode child;
    if (!ParseVersionNode(in, at, blockEnd, child, error, depth + 1)) return false;
    at = AlignUp(at + in.U16(at), 4);
    node.children.push_back(std::move(child));
  }
  return true;
}

}  // namespace

std::optional<VersionNode> ParseVersionResource(const std::vector<uint8_t>& data, std::string& error) {
  const ByteReader in(data);
  VersionNode root;
  if (!ParseVersionNode(in, 0, data.size(), root, error, 0)) return std::nullopt;
  return root;
}

}  // namespace pe
