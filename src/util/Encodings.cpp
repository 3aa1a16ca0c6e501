#include "util/Encodings.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace zl {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

Real3Text Real3FromBytes(uint8_t b0, uint8_t b1, uint8_t b2) {
  const char bytes[3] = {static_cast<char>(b0), static_cast<char>(b1), static_cast<char>(b2)};
  return Real3Text(std::string_view(bytes, 3));
}

// True when |v| x 10^decimals lies exactly halfway between two integers.
// With v = m x 2^e (m an integer with t trailing zero bits), twice that
// product is m x 5^d x 2^(e + d + 1), an odd integer exactly when the powers
// of two cancel: t + e + d + 1 = 0.
bool IsDecimalTie(double v, int decimals) {
  if (v == 0.0 || !std::isfinite(v)) return false;
  int p;
  double f = std::frexp(std::fabs(v), &p);  // 0.5 <= f < 1
  auto m = static_cast<uint64_t>(std::ldexp(f, 53));
  int e = p - 53;
  int t = std::countr_zero(m);
  return t + e + decimals + 1 == 0;
}

}  // namespace

double DecodeReal3(std::string_view text) {
  auto byte = [&](std::size_t i) -> unsigned {
    return i < text.size() ? static_cast<uint8_t>(text[i]) : 0u;
  };
  unsigned b0 = byte(0), b1 = byte(1), b2 = byte(2);
  if (b0 == 0 && b1 == 0 && b2 == 0) return 0.0;
  double m = 1.0 + b1 / 256.0 + b2 / 65536.0;
  if (b0 & 0x80) m = -m;
  int d = static_cast<int>(b0 & 0x3F);
  return (b0 & 0x40) ? std::ldexp(m, d) : std::ldexp(m, d - 64);
}

Real3Text EncodeReal3(double x) {
  if (std::isnan(x) || x == 0.0) return Real3FromBytes(0, 0, 0);
  const uint8_t sign = std::signbit(x) ? 0x80 : 0x00;
  const double a = std::fabs(x);
  if (a >= 0x1p64) return Real3FromBytes(0x7F | sign, 0xFF, 0xFF);
  int p;
  const double f = std::frexp(a, &p);  // a = f x 2^p, 0.5 <= f < 1
  int exponent;                        // a = s x 2^exponent, 1 <= s < 2
  double fraction;                     // s - 1, or below 0 under the 2^-63 floor
  if (p - 1 >= -63) {
    exponent = p - 1;
    fraction = 2.0 * f - 1.0;
  } else {
    exponent = -63;
    fraction = std::ldexp(a, 63) - 1.0;
  }
  // floor(fraction x 65536): the bit-by-bit subtraction of 2^-1 .. 2^-16.
  const uint32_t F = fraction <= 0.0 ? 0u : static_cast<uint32_t>(fraction * 65536.0);
  return Real3FromBytes(static_cast<uint8_t>((exponent + 64) | sign), static_cast<uint8_t>(F >> 8),
                        static_cast<uint8_t>(F & 0xFF));
}

Real6 DecodeSingle(uint32_t pattern) {
  const uint32_t E = (pattern >> 23) & 0xFF;
  const uint32_t F = pattern & 0x7FFFFF;
  if (E == 0 && F == 0) return Real6{};
  if (E == 255) return ToReal6(-1.0);
  const double magnitude = E == 0 ? std::ldexp(static_cast<double>(F), -149)
                                  : std::ldexp(1.0 + F / 8388608.0, static_cast<int>(E) - 127);
  if (magnitude > 1e38) return ToReal6(-1.0);
  return ToReal6((pattern & 0x80000000u) ? -magnitude : magnitude);
}

int64_t Truncate(double x) {
  // [-2^63, 2^63) holds every double whose truncation fits 64 bits.
  if (std::isnan(x) || x >= 0x1p63 || x < -0x1p63) return 0;
  return static_cast<int64_t>(x);
}

ShortStr<2> HexByte(uint8_t b) {
  const char s[2] = {kHexDigits[b >> 4], kHexDigits[b & 0x0F]};
  return ShortStr<2>(std::string_view(s, 2));
}

ShortStr<4> HexWord(uint16_t w) {
  const char s[4] = {kHexDigits[(w >> 12) & 0x0F], kHexDigits[(w >> 8) & 0x0F],
                     kHexDigits[(w >> 4) & 0x0F], kHexDigits[w & 0x0F]};
  return ShortStr<4>(std::string_view(s, 4));
}

ShortStr<24> NumberText(int64_t number, int base) {
  ShortStr<24> out;
  if (base == 10) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, number);
    out.assign(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
    return out;
  }
  if (number <= 255) {
    out += HexByte(static_cast<uint8_t>(number));
  } else {
    out += HexWord(static_cast<uint16_t>(number));
  }
  if (base == 16) out += 'h';
  return out;
}

Str255 PadDecimal(uint16_t number, int width) {
  char buf[8];
  auto res = std::to_chars(buf, buf + sizeof buf, number);
  const auto digits = static_cast<int>(res.ptr - buf);
  Str255 out;
  for (int i = digits; i < width && !out.full(); ++i) out += '0';
  out += std::string_view(buf, static_cast<std::size_t>(digits));
  return out;
}

Str255 TextFromCString(const char *field) {
  if (field == nullptr) return Str255();
  return Str255(std::string_view(field, ::strnlen(field, Str255::Capacity)));
}

void CStringFromText(std::string_view text, char (&field)[256]) {
  const std::size_t n = std::min<std::size_t>(text.size(), 80);
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, sizeof field - n);
}

double PowerOfTwoReal(int n) {
  return std::ldexp(1.0, n);
}

Str255 FormatReal(double value, int width, int decimals) {
  if (width < 0) width = 0;
  decimals = std::clamp(decimals, 0, 40);
  char buf[400];  // the longest fixed text of a double with 40 decimals fits
  std::to_chars_result res;
  if ((width == 0 && decimals == 0) || !std::isfinite(value)) {
    res = std::to_chars(buf, buf + sizeof buf, value);
  } else {
    double v = value;
    // The library rounds an exact tie to even; step past it to round away.
    if (IsDecimalTie(v, decimals)) v = std::nextafter(v, v > 0 ? HUGE_VAL : -HUGE_VAL);
    res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  }
  std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
  if (!text.empty() && text[0] == '-' && text.find_first_not_of("-0.") == std::string_view::npos) {
    text.remove_prefix(1);  // "-0.00" reads as "0.00"
  }
  Str255 out;
  for (auto i = static_cast<int>(text.size()); i < width && !out.full(); ++i) out += ' ';
  out += text;
  return out;
}

Str255 HexText(std::string_view bytes) {
  Str255 out;
  for (char c : bytes) {
    if (out.full()) break;
    const auto b = static_cast<uint8_t>(c);
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 0x0F];
    out += ' ';
  }
  return out;
}

std::string SampleFileName(uint8_t stationAddress, uint8_t sampleBlock, uint8_t b0, uint8_t b1,
                           uint8_t b2) {
  std::string name;
  if (stationAddress < 100) {
    name += PadDecimal(stationAddress, 2).view();
  } else {
    const int above = stationAddress - 100;
    name += static_cast<char>('A' + above / 10);
    name += static_cast<char>('0' + above % 10);
  }
  name += NumberText(sampleBlock, 10).view();
  name += static_cast<char>('0' + b0 % 10);
  name += PadDecimal(b1, 2).view();
  name += PadDecimal(b2, 2).view();
  name += ".CUC";
  return name;
}

}  // namespace zl
