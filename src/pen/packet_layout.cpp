#include "pen/packet_layout.h"

#include "wintab/wintab_binding.h"

namespace {

// Bytes of field bit k: the handle, three ints for orientation and rotation,
// one 32-bit value for the others.
size_t FieldBytes(size_t bit, size_t handleBytes) {
  if (bit == 0) return handleBytes;
  if ((1u << bit) == wintab::PK_ORIENTATION || (1u << bit) == wintab::PK_ROTATION) return 12;
  return 4;
}

size_t FieldAlignment(size_t bit, size_t handleBytes) { return bit == 0 ? handleBytes : 4; }

size_t RoundUp(size_t value, size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

uint64_t ReadLittleEndian(const uint8_t* bytes, size_t width) {
  uint64_t value = 0;
  for (size_t k = 0; k < width; ++k) value |= static_cast<uint64_t>(bytes[k]) << (8 * k);
  return value;
}

}  // namespace

PacketLayout LayOutPacket(uint32_t fields, size_t handleBytes) {
  PacketLayout layout;
  layout.fields = fields & wintab::kKnownPacketFields;
  size_t offset = 0;
  size_t widest = 1;
  for (size_t bit = 0; bit < 14; ++bit) {
    if ((layout.fields & (1u << bit)) == 0) continue;
    const size_t alignment = FieldAlignment(bit, handleBytes);
    offset = RoundUp(offset, alignment);
    layout.offsets[bit] = offset;
    offset += FieldBytes(bit, handleBytes);
    if (alignment > widest) widest = alignment;
  }
  layout.recordBytes = RoundUp(offset, widest);
  return layout;
}

DecodedPacket DecodePacket(const PacketLayout& layout, size_t handleBytes, const uint8_t* record) {
  DecodedPacket packet;
  const auto has = [&layout](uint32_t field) { return (layout.fields & field) != 0; };
  const auto at = [&layout, record](uint32_t field) {
    size_t bit = 0;
    while ((1u << bit) != field) ++bit;
    return record + layout.offsets[bit];
  };
  const auto u32 = [](const uint8_t* bytes) { return static_cast<uint32_t>(ReadLittleEndian(bytes, 4)); };
  const auto i32 = [](const uint8_t* bytes) { return static_cast<int32_t>(ReadLittleEndian(bytes, 4)); };
  using namespace wintab;
  if (has(PK_CONTEXT)) packet.context = ReadLittleEndian(at(PK_CONTEXT), handleBytes);
  if (has(PK_STATUS)) packet.status = u32(at(PK_STATUS));
  if (has(PK_TIME)) packet.time = u32(at(PK_TIME));
  if (has(PK_CHANGED)) packet.changed = u32(at(PK_CHANGED));
  if (has(PK_SERIAL_NUMBER)) packet.serial = u32(at(PK_SERIAL_NUMBER));
  if (has(PK_CURSOR)) packet.cursor = u32(at(PK_CURSOR));
  if (has(PK_BUTTONS)) packet.buttons = u32(at(PK_BUTTONS));
  if (has(PK_X)) packet.x = i32(at(PK_X));
  if (has(PK_Y)) packet.y = i32(at(PK_Y));
  if (has(PK_Z)) packet.z = i32(at(PK_Z));
  if (has(PK_NORMAL_PRESSURE)) packet.normalPressure = u32(at(PK_NORMAL_PRESSURE));
  if (has(PK_TANGENT_PRESSURE)) packet.tangentPressure = u32(at(PK_TANGENT_PRESSURE));
  for (size_t k = 0; k < 3; ++k) {
    if (has(PK_ORIENTATION)) packet.orientation[k] = i32(at(PK_ORIENTATION) + 4 * k);
    if (has(PK_ROTATION)) packet.rotation[k] = i32(at(PK_ROTATION) + 4 * k);
  }
  return packet;
}
