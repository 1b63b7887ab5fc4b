// The packet record's layout and decoding, for 32- and 64-bit processes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pen/packet_layout.h"

namespace {

// Offsets of the fields present, in bit order, and the record's size: each
// field aligned to its own size (the handle to 4 or 8), the record a
// multiple of its widest field.
TEST(packet_layout, lays_out_the_fields_in_bit_order_for_32_and_64_bit_processes) {
  struct Row {
    uint32_t fields;
    size_t handleBytes;
    std::vector<size_t> offsets;
    size_t recordBytes;
  };
  const Row rows[] = {
      // Everything but the rotation: the default digitizing context.
      {0x1FFF, 8, {0, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52}, 64},
      {0x1FFF, 4, {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48}, 60},
      // Everything: 8 + 11 * 4 + 2 * 12 = 76 bytes of fields, padded to 80.
      {0x3FFF, 8, {0, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 64}, 80},
      {0x3FFF, 4, {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 60}, 72},
      // Context, status, time, cursor, buttons, x, y, pressure: 36 bytes, padded to 40.
      {0x05E7, 8, {0, 8, 12, 16, 20, 24, 28, 32}, 40},
      {0x05E7, 4, {0, 4, 8, 12, 16, 20, 24, 28}, 32},
      // No handle: no alignment beyond 4 bytes.
      {0x15F6, 8, {0, 4, 8, 12, 16, 20, 24, 28, 32}, 44},
      {0x15F6, 4, {0, 4, 8, 12, 16, 20, 24, 28, 32}, 44},
      {0x0001, 8, {0}, 8},
      {0x0000, 8, {}, 0},
      // A bit no packet field has is left out.
      {0x4080, 8, {0}, 4},
  };
  for (const Row& row : rows) {
    const PacketLayout layout = LayOutPacket(row.fields, row.handleBytes);
    const std::string name = "fields " + std::to_string(row.fields) + ", handle " + std::to_string(row.handleBytes);
    EXPECT_EQ(layout.recordBytes, row.recordBytes) << name;
    std::vector<size_t> offsets;
    for (size_t bit = 0; bit < 14; ++bit) {
      if (layout.fields & (1u << bit)) offsets.push_back(layout.offsets[bit]);
    }
    EXPECT_EQ(offsets, row.offsets) << name;
  }
}

TEST(packet_layout, decodes_signed_and_unsigned_fields_little_endian) {
  // lcPktData 0x05E7 in a 64-bit process: context 0x1122334455667788, status
  // 1, time 0x01020304, cursor 2, buttons 0x80000001, x -20, y 30, pressure 8191.
  const uint8_t record[40] = {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,  //
                              1,    0,    0,    0,    0x04, 0x03, 0x02, 0x01,  //
                              2,    0,    0,    0,    0x01, 0,    0,    0x80,  //
                              0xEC, 0xFF, 0xFF, 0xFF, 30,   0,    0,    0,     //
                              0xFF, 0x1F, 0,    0,    0xA5, 0xA5, 0xA5, 0xA5};
  const DecodedPacket packet = DecodePacket(LayOutPacket(0x05E7, 8), 8, record);
  EXPECT_EQ(packet.context, 0x1122334455667788u);
  EXPECT_EQ(packet.status, 1u);
  EXPECT_EQ(packet.time, 0x01020304u);
  EXPECT_EQ(packet.cursor, 2u);
  EXPECT_EQ(packet.buttons, 0x80000001u);
  EXPECT_EQ(packet.x, -20);
  EXPECT_EQ(packet.y, 30);
  EXPECT_EQ(packet.normalPressure, 8191u);
  EXPECT_EQ(packet.z, 0);  // not in the layout
  EXPECT_EQ(packet.orientation[0], 0);
}

}  // namespace
