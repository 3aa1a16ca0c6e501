// The 6-byte real's conversions work on the bits of the double (the
// housekeeping of every pass converts each station's clocks twice). They must
// give exactly what the arithmetic definition gives: frexp, rounding of the
// 39-bit fraction half away from zero, ldexp back.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "util/Real6.h"

namespace zl {
namespace {

Real6 ReferenceToReal6(double x) {
  Real6 r;
  if (std::isnan(x) || x == 0.0) return r;
  const bool negative = std::signbit(x);
  const double m = std::fabs(x);
  int exponent;
  uint64_t fraction;
  if (std::isinf(m)) {
    exponent = 256;
    fraction = 0;
  } else {
    const double f = std::frexp(m, &exponent);
    fraction = static_cast<uint64_t>(std::round((2.0 * f - 1.0) * 549755813888.0));
    if (fraction >> 39) {
      fraction = 0;
      ++exponent;
    }
  }
  int biased = exponent + 128;
  if (biased < 1) return r;
  if (biased > 255) {
    biased = 255;
    fraction = (uint64_t{1} << 39) - 1;
  }
  r.b[0] = static_cast<uint8_t>(biased);
  for (int i = 1; i <= 4; ++i) r.b[i] = static_cast<uint8_t>(fraction >> (8 * (i - 1)));
  r.b[5] = static_cast<uint8_t>((fraction >> 32) & 0x7F);
  if (negative) r.b[5] |= 0x80;
  return r;
}

double ReferenceFromReal6(const Real6 &r) {
  if (r.b[0] == 0) return 0.0;
  const uint64_t fraction = uint64_t{r.b[1]} | uint64_t{r.b[2]} << 8 | uint64_t{r.b[3]} << 16 |
                            uint64_t{r.b[4]} << 24 | uint64_t{r.b[5] & 0x7Fu} << 32;
  const double v = std::ldexp(1.0 + static_cast<double>(fraction) / 549755813888.0, r.b[0] - 129);
  return (r.b[5] & 0x80) ? -v : v;
}

void ExpectSame(double x) {
  const Real6 got = ToReal6(x), want = ReferenceToReal6(x);
  ASSERT_TRUE(got == want) << std::hexfloat << x;
}

TEST(Real6Bits, EdgeValuesConvertAsDefined) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  const double tie = 1.0 + std::ldexp(1.0, -40);  // exactly half a unit of the 40th bit
  for (double x : {0.0,
                   -0.0,
                   1.0,
                   -1.0,
                   0.5,
                   2.5,
                   0.01,
                   -999999.9,
                   4294967295.0,
                   tie,
                   -tie,
                   std::nextafter(tie, 2.0),
                   std::nextafter(tie, 0.0),
                   2.0 - std::ldexp(1.0, -45),
                   std::ldexp(1.0, -128),
                   std::ldexp(1.0, -129),
                   std::ldexp(1.0, -129) * 1.9999,
                   std::ldexp(1.0, 126),
                   std::ldexp(1.0, 127),
                   -std::ldexp(1.0, 127) * 1.5,
                   std::ldexp(1.99999999999, 126),
                   inf,
                   -inf,
                   std::numeric_limits<double>::max(),
                   std::numeric_limits<double>::denorm_min(),
                   std::numeric_limits<double>::min(),
                   std::numeric_limits<double>::quiet_NaN()}) {
    ExpectSame(x);
  }
}

TEST(Real6Bits, RandomDoublesAndRandomRealsMatchTheDefinition) {
  std::mt19937_64 rng(20070820);
  std::uniform_real_distribution<double> exponent(-140.0, 140.0);
  for (int i = 0; i < 200000; ++i) {
    // Any bit pattern, and magnitudes around the format's own range.
    ExpectSame(std::bit_cast<double>(rng()));
    const double x = std::ldexp(1.0 + static_cast<double>(rng() >> 12) / 4503599627370496.0,
                                static_cast<int>(exponent(rng)));
    ExpectSame(i % 2 ? x : -x);

    Real6 r;
    const uint64_t bits = rng();
    for (int b = 0; b < 6; ++b) r.b[b] = static_cast<uint8_t>(bits >> (8 * b));
    const double got = FromReal6(r), want = ReferenceFromReal6(r);
    ASSERT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(want)) << i;
    if (r.b[0] != 0) {
      ASSERT_TRUE(ToReal6(got) == r) << i;  // every Real6 survives the round trip
    }
  }
}

}  // namespace
}  // namespace zl
