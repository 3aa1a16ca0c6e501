// The controllers' 3-byte real, as the simulated controllers hold it in
// memory and send it: byte 0 sign (bit 7) and exponent (bits 6..0, excess 64),
// bytes 1 and 2 the 16 fraction bits, high byte first. 00 00 00 is zero.
//
// The simulator keeps its own codec so that the controller side of the line
// does not share the driver's conversions: a fault in one then shows up as a
// disagreement on the wire instead of cancelling out.
#ifndef ZL_ZLSIM_REAL3CODEC_H
#define ZL_ZLSIM_REAL3CODEC_H

#include <array>
#include <cstdint>

namespace zl::sim {

using Real3Bytes = std::array<uint8_t, 3>;

// Truncates the fraction to 16 bits. Magnitudes below 2^-63 become 2^-63 with
// their sign; magnitudes of 2^64 or more become the largest representable one
// (an exponent that does not fit is never wrapped). NaN gives zero.
Real3Bytes EncodeReal3(double x);

// The exact value of the three bytes.
double DecodeReal3(const Real3Bytes &b);
double DecodeReal3(const uint8_t *b);

}  // namespace zl::sim

#endif  // ZL_ZLSIM_REAL3CODEC_H
