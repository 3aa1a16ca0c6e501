#include "util/Real6.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace zl {

// Both conversions work on the bits of the IEEE double, whose 52-bit fraction
// holds the 39 bits of a Real6 exactly: value = (1 + M / 2^52) * 2^(E - 1023).
namespace {

constexpr int kDoubleBias = 1023;
constexpr int kReal6Bias = 129;
constexpr int kDroppedBits = 52 - 39;
constexpr uint64_t kFraction52 = (uint64_t{1} << 52) - 1;

}  // namespace

Real6 ToReal6(double x) {
  Real6 r;
  if (std::isnan(x) || x == 0.0) return r;
  const uint64_t bits = std::bit_cast<uint64_t>(x);
  const bool negative = bits >> 63;
  const int e = static_cast<int>((bits >> 52) & 0x7FF);
  uint64_t fraction;
  int biased;
  if (e == 0x7FF) {  // an infinity: clamps below
    biased = 256;
    fraction = 0;
  } else if (e == 0) {  // subnormal: far below 2^-128
    return r;
  } else {
    // 39 bits, rounded to nearest, ties away from zero; a carry out of the
    // fraction is the next power of two.
    fraction = ((bits & kFraction52) + (uint64_t{1} << (kDroppedBits - 1))) >> kDroppedBits;
    biased = e - kDoubleBias + kReal6Bias;
    if (fraction >> 39) {
      fraction = 0;
      ++biased;
    }
  }
  if (biased < 1) return r;  // below 2^-128: zero
  if (biased > 255) {
    biased = 255;
    fraction = (uint64_t{1} << 39) - 1;
  }
  // byte 0 the exponent, bits 8..46 the fraction, bit 47 the sign; built in
  // one word, since six byte stores read back as one return value stall.
  const uint64_t packed =
      static_cast<uint64_t>(biased) | fraction << 8 | (negative ? uint64_t{1} << 47 : 0);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(r.b, &packed, sizeof r.b);
  } else {
    for (int i = 0; i < 6; ++i) r.b[i] = static_cast<uint8_t>(packed >> (8 * i));
  }
  return r;
}

double FromReal6(const Real6 &r) {
  if (r.b[0] == 0) return 0.0;
  const uint64_t fraction = uint64_t{r.b[1]} | uint64_t{r.b[2]} << 8 | uint64_t{r.b[3]} << 16 |
                            uint64_t{r.b[4]} << 24 | uint64_t{r.b[5] & 0x7Fu} << 32;
  // Every Real6 exponent (-128..126) is a normal double exponent.
  const uint64_t exponent = static_cast<uint64_t>(r.b[0] - kReal6Bias + kDoubleBias);
  const uint64_t sign = (r.b[5] & 0x80) ? uint64_t{1} << 63 : 0;
  return std::bit_cast<double>(sign | exponent << 52 | fraction << kDroppedBits);
}

}  // namespace zl
