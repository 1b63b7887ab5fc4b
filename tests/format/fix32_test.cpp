#include "format/fix32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using testsupport::Readable;

constexpr char16_t kPoison = 0x2222;

std::u16string Fix32Text(uint32_t value, bool* poisonIntact = nullptr) {
  std::vector<char16_t> area(kFix32TextUnits + 4, kPoison);
  FormatFix32(area.data(), value);
  if (poisonIntact != nullptr) {
    *poisonIntact = area[kFix32TextUnits] == kPoison && area[kFix32TextUnits + 3] == kPoison;
  }
  return std::u16string(area.data());
}

struct Row {
  uint32_t value;
  const char* text;
};

TEST(fix32, converts_the_worked_examples_exactly) {
  const Row rows[] = {
      {0x00010000, "1.0"},
      {0x00008000, "0.5"},
      {0x03E80000, "1000.0"},
      {0x00000001, "0.0000152587890625"},
      {0x00001000, "0.0625"},
      {0x0001999A, "1.600006103515625"},
      {0xFFFF0000, "65535.0"},
      {0xFFFFFFFF, "65535.9999847412109375"},
      {0x00000000, "0.0"},
  };
  for (const Row& row : rows) {
    bool poisonIntact = false;
    EXPECT_EQ(Readable(Fix32Text(row.value, &poisonIntact)), row.text) << std::hex << "value 0x" << row.value;
    EXPECT_TRUE(poisonIntact) << std::hex << "value 0x" << row.value;
  }
}

TEST(fix32, keeps_leading_zeros_and_drops_trailing_ones) {
  const Row rows[] = {
      {0x80000000, "32768.0"},             // the high bit belongs to the integer
      {0x0E100000, "3600.0"},
      {0x00004000, "0.25"},
      {0x00000002, "0.000030517578125"},   // 2 / 65536
      {0x00000003, "0.0000457763671875"},  // 3 / 65536
      {0x0000FFFF, "0.9999847412109375"},  // the largest fraction
      {0x00001999, "0.0999908447265625"},  // just below one tenth
      {0x12345678, "4660.3377685546875"},  // 0x5678 / 65536 = 2767 / 8192
      {0x00050000, "5.0"},
      {0x000A8000, "10.5"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Readable(Fix32Text(row.value)), row.text) << std::hex << "value 0x" << row.value;
  }
}

// Every fraction, checked against the definition: the decimal places d of
// the text satisfy d / 10^k == F / 65536, with no trailing zero except the
// single one of a zero fraction.
TEST(fix32, every_fraction_is_the_exact_decimal_value) {
  int failures = 0;
  for (uint32_t fraction = 0; fraction <= 0xFFFF && failures < 5; ++fraction) {
    const uint32_t value = (7u << 16) | fraction;
    const std::u16string text = Fix32Text(value);
    const std::string utf8 = Readable(text);
    const bool shaped = utf8.size() >= 3 && utf8.size() <= 18 && utf8.compare(0, 2, "7.") == 0;
    uint64_t digits = 0;
    uint64_t scale = 1;
    bool onlyDigits = shaped;
    for (size_t i = 2; onlyDigits && i < utf8.size(); ++i) {
      onlyDigits = utf8[i] >= '0' && utf8[i] <= '9';
      digits = digits * 10 + static_cast<uint64_t>(utf8[i] - '0');
      scale *= 10;
    }
    // d / scale == F / 65536  <=>  d * 65536 == F * scale
    const bool exact = onlyDigits && digits * 65536 == static_cast<uint64_t>(fraction) * scale;
    const bool noTrailingZero = onlyDigits && (fraction == 0 ? utf8 == "7.0" : utf8.back() != '0');
    if (!exact || !noTrailingZero) {
      ++failures;
      ADD_FAILURE() << "fraction " << fraction << " gave " << utf8;
    }
  }
}

TEST(fix32, display_form_is_prefixed_hexadecimal_and_bracketed_decimal) {
  const Row rows[] = {
      {0x03E80000, "0x3e80000 [1000.0]"},
      {0x0E100000, "0xe100000 [3600.0]"},
      {0xFFFFFFFF, "0xffffffff [65535.9999847412109375]"},
      {0x80000000, "0x80000000 [32768.0]"},
      {0x00010000, "0x010000 [1.0]"},
      {0x00008000, "0x008000 [0.5]"},
      {0x00000001, "0x000001 [0.0000152587890625]"},
      {0x00000000, "0x000000 [0.0]"},
  };
  for (const Row& row : rows) {
    std::vector<char16_t> area(kFix32AreaUnits + 4, kPoison);
    FormatFix32Display(area.data(), row.value);
    EXPECT_EQ(Readable(std::u16string(area.data())), row.text) << std::hex << "value 0x" << row.value;
    EXPECT_EQ(area[kFix32AreaUnits], kPoison) << std::hex << "value 0x" << row.value;
  }
}

}  // namespace
