// The driver's 6-byte real.
//
// Every value the driver keeps as a real (station values, counters, memory
// values, clocks, the forcing value) is held in this format, so that a value
// carries exactly the 40 significant bits the controllers' tools expect, and a
// clock that adds 0.01 a pass drifts exactly as that precision makes it drift.
// Arithmetic widens with FromReal6, computes in double (which holds every
// Real6 exactly) and stores back with ToReal6.
//
//   byte 0      exponent, bias 129; 0 means the value 0
//   bytes 1..4  fraction bits 0..31
//   byte 5      bits 0..6: fraction bits 32..38; bit 7: sign (1 = negative)
//   value = (-1)^sign * (1 + fraction / 2^39) * 2^(exponent - 129)
#ifndef ZL_UTIL_REAL6_H
#define ZL_UTIL_REAL6_H

#include <cstdint>

namespace zl {

struct Real6 {
  uint8_t b[6] = {0, 0, 0, 0, 0, 0};

  friend bool operator==(const Real6 &x, const Real6 &y) {
    for (int i = 0; i < 6; ++i)
      if (x.b[i] != y.b[i]) return false;
    return true;
  }
};

// Rounds to 40 significant bits, to nearest, ties away from zero. A magnitude
// below 2^-128 after rounding gives 0; a magnitude of 2^127 or more (and an
// infinity) gives the largest representable magnitude with the value's sign;
// NaN gives 0.
Real6 ToReal6(double x);

// The exact value.
double FromReal6(const Real6 &r);

// x += d, through the 6-byte format.
inline void AddTo(Real6 &x, double d) {
  x = ToReal6(FromReal6(x) + d);
}

}  // namespace zl

#endif  // ZL_UTIL_REAL6_H
