// The layout of a Wintab packet record: the fields of a context's lcPktData
// in bit order, as a compiler lays out the standard's packet record for a
// process whose pointers (and so context handles) are `handleBytes` wide.
// Every field is aligned to its own size and the record's size is a
// multiple of its widest field: in a 64-bit process a record with
// PK_CONTEXT has its other fields from offset 8 and may end in 4 bytes of
// padding; in a 32-bit process the fields simply follow one another.
#pragma once

#include <cstddef>
#include <cstdint>

struct PacketLayout {
  uint32_t fields = 0;       // the lcPktData bits laid out (known bits only)
  size_t offsets[14] = {};   // offset of field bit k (1 << k), when present
  size_t recordBytes = 0;
};

PacketLayout LayOutPacket(uint32_t fields, size_t handleBytes);

// A decoded packet; fields the layout lacks are 0.
struct DecodedPacket {
  uint64_t context = 0;
  uint32_t status = 0;
  uint32_t time = 0;
  uint32_t changed = 0;
  uint32_t serial = 0;
  uint32_t cursor = 0;
  uint32_t buttons = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  uint32_t normalPressure = 0;
  uint32_t tangentPressure = 0;
  int32_t orientation[3] = {};  // azimuth, altitude, twist
  int32_t rotation[3] = {};     // pitch, roll, yaw
};

// record: layout.recordBytes bytes, little-endian.
DecodedPacket DecodePacket(const PacketLayout& layout, size_t handleBytes, const uint8_t* record);
