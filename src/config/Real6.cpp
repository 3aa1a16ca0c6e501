#include "config/Real6.h"

#include <cmath>

namespace zl {

Real6 ToReal6(double x) {
  Real6 r;
  if (std::isnan(x) || x == 0.0) return r;
  bool negative = std::signbit(x);
  double m = std::fabs(x);
  int exponent;  // m = f * 2^exponent, 0.5 <= f < 1
  uint64_t fraction;
  if (std::isinf(m)) {
    exponent = 256;  // clamps below
    fraction = 0;
  } else {
    double f = std::frexp(m, &exponent);
    // (2f - 1) * 2^39 is exact in double; round half away from zero.
    double scaled = std::round((2.0 * f - 1.0) * 549755813888.0);
    fraction = static_cast<uint64_t>(scaled);
    if (fraction >> 39) {  // rounded up to the next power of two
      fraction = 0;
      ++exponent;
    }
  }
  int biased = exponent + 128;  // 2^(exponent - 1) is the leading bit
  if (biased < 1) return r;     // below 2^-128: zero
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

double FromReal6(const Real6 &r) {
  if (r.b[0] == 0) return 0.0;
  uint64_t fraction = uint64_t{r.b[1]} | uint64_t{r.b[2]} << 8 | uint64_t{r.b[3]} << 16 |
                      uint64_t{r.b[4]} << 24 | uint64_t{r.b[5] & 0x7Fu} << 32;
  double v = std::ldexp(1.0 + static_cast<double>(fraction) / 549755813888.0, r.b[0] - 129);
  return (r.b[5] & 0x80) ? -v : v;
}

}  // namespace zl
