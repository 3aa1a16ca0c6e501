// Value encodings shared by the input and output paths, the frame builder and
// the response decoder: the controllers' 3-byte real, the IEEE single of QQ
// variables, truncation to integers, BCD bytes, and the small text helpers
// (the bit helpers live in util/Bits.h, included here). All of them are pure
// functions; none allocates on the heap (texts come back as fixed-capacity
// ShortStr values).
//
// 3-byte real, bytes in the order they are stored and sent:
//   byte 0   bit 7 sign (1 = negative), bits 6..0 exponent E, excess 64
//   byte 1   fraction bits 15..8
//   byte 2   fraction bits 7..0
//   value = (-1)^sign * (1 + F / 65536) * 2^(E - 64); 00 00 00 is 0.
// Every value of this format is held exactly by a double and by a Real6.
#ifndef ZL_UTIL_ENCODINGS_H
#define ZL_UTIL_ENCODINGS_H

#include <cstdint>
#include <string>
#include <string_view>

#include "util/Bits.h"
#include "util/Real6.h"
#include "util/Text.h"

namespace zl {

using Real3Text = ShortStr<3>;

// The value of the 3-byte real in the first three bytes of text (missing
// bytes count as 0). Exact.
double DecodeReal3(std::string_view text);

// Codes x as a 3-byte real: the fraction is truncated, never rounded, so the
// result never exceeds |x| in magnitude. Magnitudes below 2^-63 become 2^-63
// with their sign (the encoder never produces exponent byte 0). Magnitudes of
// 2^64 or more, and infinities, become the largest magnitude (7F FF FF) with
// their sign. NaN gives 00 00 00.
Real3Text EncodeReal3(double x);

// An IEEE single (bit pattern) as a real. Infinities, NaNs and magnitudes above
// 10^38 give -1.0 whatever their sign; subnormals keep their (tiny) value,
// which the rounding to a Real6 turns into 0.
Real6 DecodeSingle(uint32_t pattern);

// Toward zero. NaN and values outside the signed 64-bit range give 0.
int64_t Truncate(double x);
inline int64_t Truncate(const Real6 &x) {
  return Truncate(FromReal6(x));
}

// The byte's two hexadecimal digits read as a decimal number: 0x59 gives 59.
// A digit above 9 counts with its hexadecimal value (0x1A gives 20).
inline uint8_t BcdValue(uint8_t b) {
  return static_cast<uint8_t>((b >> 4) * 10 + (b & 0x0F));
}

// Upper-case hexadecimal, high digit first.
ShortStr<2> HexByte(uint8_t b);
ShortStr<4> HexWord(uint16_t w);

// Base 10: the plain decimal text. Any other base: HexByte of the number when
// it is at most 255, else HexWord of its low 16 bits; base 16 appends "h".
ShortStr<24> NumberText(int64_t number, int base);

// The decimal text of number with "0" put in front up to width characters.
Str255 PadDecimal(uint16_t number, int width);

// The sample file's name: the station code (ADDRESS as two digits, or from
// 100 on a letter "A".."P" and a digit), the sample block digit, b0 mod 10,
// b1 and b2 as two digits each, and ".CUC".
std::string SampleFileName(uint8_t stationAddress, uint8_t sampleBlock, uint8_t b0, uint8_t b1,
                           uint8_t b2);

// The characters of a NUL-terminated field up to its first NUL, at most 255
// (a null field gives the empty text).
Str255 TextFromCString(const char *field);

// The text's first 80 characters followed by a NUL, into a 256-byte field.
void CStringFromText(std::string_view text, char (&field)[256]);

// 2^n as a real.
double PowerOfTwoReal(int n);

// A real as decimal text, fixed point with the given number of decimals (no
// point when 0), rounded to nearest with ties away from zero, padded on the
// left with blanks to at least width characters. Width 0 with 0 decimals
// gives the shortest text that reads back to the same value. A zero result
// carries no minus sign. Decimals above 40 count as 40.
Str255 FormatReal(double value, int width, int decimals);

// Each byte as two upper-case hexadecimal digits and one blank, cut to 255.
Str255 HexText(std::string_view bytes);

}  // namespace zl

#endif  // ZL_UTIL_ENCODINGS_H
