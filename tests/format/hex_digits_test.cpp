// Hexadecimal digits for the exports' texts.
#include <gtest/gtest.h>

#include "format/hex_digits.h"

namespace {

TEST(hex_text, pads_to_the_width_asked_and_never_cuts) {
  struct Row {
    uint32_t value;
    int digits;
    bool upperCase;
    const char* expected;
  };
  static const Row rows[] = {
      {0, 4, true, "0000"},
      {0x2A, 4, true, "002A"},
      {0xABCDEF, 2, false, "abcdef"},
      {0x1F, 8, false, "0000001f"},
      {0xFFFFFFFFu, 8, true, "FFFFFFFF"},
      {0, 0, false, "0"},
  };
  for (const Row& row : rows) EXPECT_EQ(HexDigits(row.value, row.digits, row.upperCase), row.expected) << row.expected;
}

}  // namespace
