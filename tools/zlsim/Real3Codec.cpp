#include "zlsim/Real3Codec.h"

#include <cmath>

namespace zl::sim {

namespace {

// floor(f * 65536) for 0 <= f < 1, which is exactly the bit-by-bit fraction.
uint16_t FractionBits(double f) {
  if (f <= 0.0) return 0;
  double bits = std::floor(f * 65536.0);
  return bits >= 65535.0 ? 65535 : static_cast<uint16_t>(bits);
}

Real3Bytes Pack(bool negative, int exponentByte, uint16_t fraction) {
  return Real3Bytes{static_cast<uint8_t>(exponentByte | (negative ? 0x80 : 0)),
                    static_cast<uint8_t>(fraction >> 8), static_cast<uint8_t>(fraction & 0xFF)};
}

}  // namespace

Real3Bytes EncodeReal3(double x) {
  if (x == 0.0 || std::isnan(x)) return Real3Bytes{0, 0, 0};
  bool negative = x < 0.0;
  double a = std::fabs(x);
  if (a >= std::ldexp(1.0, 64)) return Pack(negative, 127, 0xFFFF);
  if (a >= 1.0) {
    int e = 0;
    while (a >= 2.0) {
      a /= 2.0;
      ++e;
    }
    return Pack(negative, 64 + e, FractionBits(a - 1.0));
  }
  int k = 1;
  while (k < 63 && std::ldexp(1.0, -k) > a) ++k;
  return Pack(negative, 64 - k, FractionBits(std::ldexp(a, k) - 1.0));
}

double DecodeReal3(const uint8_t *b) {
  if (b[0] == 0 && b[1] == 0 && b[2] == 0) return 0.0;
  double m = 1.0 + (b[1] * 256 + b[2]) / 65536.0;
  int exponent = (b[0] & 0x7F) - 64;
  double v = std::ldexp(m, exponent);
  return (b[0] & 0x80) ? -v : v;
}

double DecodeReal3(const Real3Bytes &b) {
  return DecodeReal3(b.data());
}

}  // namespace zl::sim
