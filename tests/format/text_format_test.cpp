#include "format/text_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "test_support.h"

namespace {

using textformat::FormatArg;
using textformat::FormatPiece;
using textformat::FormatResult;
using textformat::MakeArg;
using testsupport::Readable;

constexpr char16_t kPoison = 0x1111;
constexpr size_t kPoisonUnits = 8;

struct Formatted {
  std::u16string text;  // up to the terminator
  FormatResult result;
  bool terminated;      // out[stored] is NUL
  bool poisonIntact;    // nothing written at or past `capacity`
};

// Formats into an area of `capacity` units followed by poison.
Formatted FormatInto(size_t capacity, const char16_t* format, const std::vector<FormatArg>& args) {
  std::vector<char16_t> area(capacity + kPoisonUnits, kPoison);
  Formatted out;
  out.result = FormatPiece(area.data(), capacity, format, args.data(), args.size());
  out.terminated = out.result.stored < capacity && area[out.result.stored] == 0;
  out.text.assign(area.data(), out.result.stored < area.size() ? out.result.stored : 0);
  out.poisonIntact = true;
  for (size_t i = capacity; i < area.size(); ++i) out.poisonIntact = out.poisonIntact && area[i] == kPoison;
  return out;
}

struct ConversionRow {
  const char* name;
  const char16_t* format;
  std::vector<FormatArg> args;
  std::u16string expected;
};

TEST(text_format, renders_every_conversion_and_flag_the_report_uses) {
  const std::u16string thirty(30, u'n');
  const std::u16string thirtyOne(31, u'm');
  const ConversionRow rows[] = {
      {"plain text", u"WTI_INTERFACE", {}, u"WTI_INTERFACE"},
      {"percent escape", u"100%%", {}, u"100%"},
      {"%u zero", u"%u", {MakeArg(0u)}, u"0"},
      {"%u largest", u"%u", {MakeArg(4294967295u)}, u"4294967295"},
      {"%u of a byte", u"%u", {MakeArg(uint8_t{200})}, u"200"},
      {"%d positive", u"%d", {MakeArg(15200)}, u"15200"},
      {"%d negative", u"%d", {MakeArg(-1000)}, u"-1000"},
      {"%d minus one", u"%d", {MakeArg(-1)}, u"-1"},
      {"%d most negative", u"%d", {MakeArg(INT32_MIN)}, u"-2147483648"},
      {"%d most positive", u"%d", {MakeArg(INT32_MAX)}, u"2147483647"},
      {"%x lower case", u"%x", {MakeArg(0xABCDEFu)}, u"abcdef"},
      {"%x zero", u"%x", {MakeArg(0u)}, u"0"},
      {"%08x pads with zeros", u"0x%08x", {MakeArg(0x1234u)}, u"0x00001234"},
      {"%08x of zero", u"0x%08x", {MakeArg(0u)}, u"0x00000000"},
      {"%08x eight digits", u"0x%08x", {MakeArg(0xFFFFFFFFu)}, u"0xffffffff"},
      {"%02x of a byte", u"%u [0x%02x]", {MakeArg(uint8_t{200}), MakeArg(uint8_t{200})}, u"200 [0xc8]"},
      {"%02x of a small byte", u"[0x%02x]", {MakeArg(uint8_t{5})}, u"[0x05]"},
      {"%#08x seven digits", u"%#08x", {MakeArg(0x03E80000u)}, u"0x3e80000"},
      {"%#08x eight digits", u"%#08x", {MakeArg(0xFFFFFFFFu)}, u"0xffffffff"},
      {"%#08x prefix counts in the width", u"%#08x", {MakeArg(0x00010000u)}, u"0x010000"},
      {"%#08x one digit", u"%#08x", {MakeArg(1u)}, u"0x000001"},
      {"%#08x zero keeps the prefix", u"%#08x", {MakeArg(0u)}, u"0x000000"},
      {"%3u pads on the left", u"{%3u} ", {MakeArg(4u)}, u"{  4} "},
      {"%3u of zero", u"{%3u} ", {MakeArg(0u)}, u"{  0} "},
      {"%3u three digits", u"{%3u} ", {MakeArg(212u)}, u"{212} "},
      {"%3u wider number written whole", u"{%3u} ", {MakeArg(1500u)}, u"{1500} "},
      {"%3u much wider number", u"{%3u} ", {MakeArg(131073u)}, u"{131073} "},
      {"%s", u"\"%s\"", {MakeArg(u"Tablet")}, u"\"Tablet\""},
      {"%s empty", u"[%s]", {MakeArg(u"")}, u"[]"},
      {"%-13s fills to 13", u"%-13s|", {MakeArg(u"lcName")}, u"lcName       |"},
      {"%-30s fills to 30", u"%-30s|", {MakeArg(u"IFC_NDEVICES")}, u"IFC_NDEVICES                  |"},
      {"%-30s exactly 30", u"%-30s|", {MakeArg(thirty.c_str())}, thirty + u"|"},
      {"%-30s longer is not cut", u"%-30s|", {MakeArg(thirtyOne.c_str())}, thirtyOne + u"|"},
      {"%5s right-aligned", u"%5s|", {MakeArg(u"ab")}, u"   ab|"},
      {"several conversions",
       u"{min=%d;max=%d;units=%u %s}",
       {MakeArg(-100), MakeArg(15200), MakeArg(2u), MakeArg(u"[CENTIMETERS]")},
       u"{min=-100;max=15200;units=2 [CENTIMETERS]}"},
      {"non-ASCII text passes through", u"%s", {MakeArg(u"\u00e9\u4e2d\U0001F58A")}, u"\u00e9\u4e2d\U0001F58A"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const ConversionRow& row = rows[i];
    const Formatted out = FormatInto(1024, row.format, row.args);
    EXPECT_EQ(Readable(out.text), Readable(row.expected)) << "row " << i << " (" << row.name << ")";
    EXPECT_EQ(out.result.stored, row.expected.size()) << "row " << i << " (" << row.name << ")";
    EXPECT_FALSE(out.result.cut) << "row " << i << " (" << row.name << ")";
    EXPECT_TRUE(out.terminated) << "row " << i << " (" << row.name << ")";
    EXPECT_TRUE(out.poisonIntact) << "row " << i << " (" << row.name << ")";
  }
}

TEST(text_format, never_writes_past_the_capacity_and_always_terminates) {
  // "0x0001f4 [abcdef]" is 17 units: capacities around 18 (17 + terminator).
  const char16_t* format = u"%#08x [%s]";
  const std::vector<FormatArg> args = {MakeArg(500u), MakeArg(u"abcdef")};
  const std::u16string whole = u"0x0001f4 [abcdef]";
  ASSERT_EQ(whole.size(), 17u);
  struct Row {
    size_t capacity;
    size_t stored;
    bool cut;
  };
  const Row rows[] = {
      {17 + 2, 17, false},  // one unit to spare
      {17 + 1, 17, false},  // exactly the text and its terminator
      {17, 16, true},       // one unit short: the last character goes
      {10, 9, true},
      {2, 1, true},
      {1, 0, true},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Formatted out = FormatInto(rows[i].capacity, format, args);
    EXPECT_EQ(out.result.stored, rows[i].stored) << "capacity " << rows[i].capacity;
    EXPECT_EQ(out.result.cut, rows[i].cut) << "capacity " << rows[i].capacity;
    EXPECT_TRUE(out.terminated) << "capacity " << rows[i].capacity;
    EXPECT_TRUE(out.poisonIntact) << "capacity " << rows[i].capacity;
    EXPECT_EQ(Readable(out.text), Readable(whole.substr(0, rows[i].stored))) << "capacity " << rows[i].capacity;
  }

  const Formatted none = FormatInto(0, format, args);
  EXPECT_EQ(none.result.stored, 0u);
  EXPECT_TRUE(none.result.cut);
  EXPECT_TRUE(none.poisonIntact) << "capacity 0 must write nothing at all";
}

TEST(text_format, cuts_padding_and_numbers_at_the_capacity_too) {
  // The cut may fall inside a field's padding or inside a number's digits.
  const Formatted padded = FormatInto(6, u"%-30s|", {MakeArg(u"ab")});
  EXPECT_EQ(Readable(padded.text), "ab   ");
  EXPECT_TRUE(padded.result.cut);
  EXPECT_TRUE(padded.terminated);
  EXPECT_TRUE(padded.poisonIntact);

  const Formatted digits = FormatInto(4, u"%u", {MakeArg(123456u)});
  EXPECT_EQ(Readable(digits.text), "123");
  EXPECT_TRUE(digits.result.cut);
  EXPECT_TRUE(digits.terminated);
  EXPECT_TRUE(digits.poisonIntact);
}

TEST(text_format, the_piece_limit_keeps_at_most_1023_units) {
  struct Row {
    size_t length;
    size_t stored;
  };
  const Row rows[] = {{1022, 1022}, {1023, 1023}, {1024, 1023}, {5000, 1023}};
  for (const Row& row : rows) {
    const std::u16string text(row.length, u'q');
    const Formatted out = FormatInto(1024, u"%s", {MakeArg(text.c_str())});
    EXPECT_EQ(out.result.stored, row.stored) << "length " << row.length;
    EXPECT_EQ(out.result.cut, row.length > 1023) << "length " << row.length;
    EXPECT_TRUE(out.terminated) << "length " << row.length;
    EXPECT_TRUE(out.poisonIntact) << "length " << row.length;
    EXPECT_EQ(out.text, text.substr(0, row.stored)) << "length " << row.length;
  }
}

TEST(text_format, reads_a_string_argument_only_as_far_as_the_output_needs) {
  // Four units without a terminator, at the exact size of their allocation,
  // so that a read past them is caught by the address sanitizer.
  std::unique_ptr<char16_t[]> unterminated(new char16_t[4]{u'w', u'x', u'y', u'z'});
  const char16_t* text = unterminated.get();
  const Formatted out = FormatInto(4, u"%s", {MakeArg(text)});
  EXPECT_EQ(Readable(out.text), "wxy");
  EXPECT_TRUE(out.result.cut);
  EXPECT_TRUE(out.terminated);
  EXPECT_TRUE(out.poisonIntact);

  // The same four units against a no-access page, in every build: the room
  // left after the text already written is all that may be read.
  struct Row {
    const char16_t* format;
    size_t capacity;
    const char* expected;
  };
  static const Row rows[] = {
      {u"%s", 4, "wxy"},
      {u"ab%s", 6, "abwxy"},
      {u"ab%s", 5, "abwx"},
      {u"abcd%s", 6, "abcdw"},
  };
  constexpr size_t kBytes = 4 * sizeof(char16_t);
  auto* guarded = static_cast<char16_t*>(platform::AllocateGuarded(kBytes));
  ASSERT_NE(guarded, nullptr);
  std::copy_n(u"wxyz", 4, guarded);
  for (const Row& row : rows) {
    const std::string name = Readable(row.format) + " into " + std::to_string(row.capacity);
    const Formatted against = FormatInto(row.capacity, row.format, {MakeArg(static_cast<const char16_t*>(guarded))});
    EXPECT_EQ(Readable(against.text), row.expected) << name;
    EXPECT_EQ(against.result.stored, std::string(row.expected).size()) << name;
    EXPECT_TRUE(against.result.cut) << name;
    EXPECT_TRUE(against.terminated) << name;
  }
  platform::FreeGuarded(guarded, kBytes);

  // A terminated argument is read no further than its first NUL.
  const char16_t twoStrings[] = {u'a', u'b', 0, u'c', u'd', 0};
  const Formatted stops = FormatInto(16, u"<%s>", {MakeArg(static_cast<const char16_t*>(twoStrings))});
  EXPECT_EQ(Readable(stops.text), "<ab>");
}

}  // namespace
