#include "format/fix32.h"

#include "format/text_format.h"

namespace {

// Value of fraction bit k in units of 1e-16: 1e16 * 2^k / 65536 = 5^16 * 2^k.
constexpr uint64_t kFractionScale[16] = {
    152587890625ull,     305175781250ull,     610351562500ull,     1220703125000ull,
    2441406250000ull,    4882812500000ull,    9765625000000ull,    19531250000000ull,
    39062500000000ull,   78125000000000ull,   156250000000000ull,  312500000000000ull,
    625000000000000ull,  1250000000000000ull, 2500000000000000ull, 5000000000000000ull,
};
static_assert(kFractionScale[15] == 5000000000000000ull);

constexpr int kFractionDigits = 16;

}  // namespace

void FormatFix32(char16_t* out, uint32_t value) {
  size_t used = 0;

  // Integer part, without leading zeros.
  char16_t digits[kFractionDigits];
  uint32_t integer = value >> 16;
  size_t count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + integer % 10);
    integer /= 10;
  } while (integer != 0);
  while (count > 0) out[used++] = digits[--count];
  out[used++] = u'.';

  // Fraction: F / 65536 has exactly sixteen decimal places.
  const uint32_t fraction = value & 0xFFFFu;
  uint64_t scaled = 0;
  for (int bit = 0; bit < 16; ++bit) {
    if ((fraction >> bit) & 1u) scaled += kFractionScale[bit];
  }
  for (int i = kFractionDigits - 1; i >= 0; --i) {
    digits[i] = static_cast<char16_t>(u'0' + scaled % 10);
    scaled /= 10;
  }
  int kept = kFractionDigits;
  while (kept > 1 && digits[kept - 1] == u'0') --kept;
  for (int i = 0; i < kept; ++i) out[used++] = digits[i];
  out[used] = 0;
}

void FormatFix32Display(char16_t* out, uint32_t value) {
  char16_t decimal[kFix32AreaUnits];
  FormatFix32(decimal, value);
  const textformat::FormatArg args[] = {textformat::MakeArg(value),
                                        textformat::MakeArg(static_cast<const char16_t*>(decimal))};
  textformat::FormatPiece(out, kFix32AreaUnits, u"%#08x [%s]", args, 2);
}
