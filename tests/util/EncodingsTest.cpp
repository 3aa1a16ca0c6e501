#include "util/Encodings.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/Bytes.h"

namespace zl {
namespace {

using test::Bytes;
using test::HexOf;

std::string Real6Hex(const Real6 &r) {
  return HexOf(std::string_view(reinterpret_cast<const char *>(r.b), 6));
}

const double kMaxReal3 = (2.0 - 0x1p-16) * 0x1p63;

TEST(EncodeReal3, CodesListedValuesWithTruncatedFraction) {
  struct Case {
    double x;
    std::string bytes;
  } cases[] = {
      {1.0, Bytes({0x40, 0x00, 0x00})},
      {-1.0, Bytes({0xC0, 0x00, 0x00})},
      {0.5, Bytes({0x3F, 0x00, 0x00})},
      {0.75, Bytes({0x3F, 0x80, 0x00})},
      {1.5, Bytes({0x40, 0x80, 0x00})},
      {2.0, Bytes({0x41, 0x00, 0x00})},
      {100.0, Bytes({0x46, 0x90, 0x00})},
      {65535.0, Bytes({0x4F, 0xFF, 0xFE})},
      {3.7, Bytes({0x41, 0xD9, 0x99})},
      {-0.1, Bytes({0xBC, 0x99, 0x99})},
      {1e-20, Bytes({0x01, 0x00, 0x00})},
      {-1e-20, Bytes({0x81, 0x00, 0x00})},
      {0x1p-63, Bytes({0x01, 0x00, 0x00})},
      {0.0, Bytes({0x00, 0x00, 0x00})},
      {-0.0, Bytes({0x00, 0x00, 0x00})},
      {kMaxReal3, Bytes({0x7F, 0xFF, 0xFF})},
      // Out of range: the largest magnitude with the value's sign.
      {0x1p64, Bytes({0x7F, 0xFF, 0xFF})},
      {-1e30, Bytes({0xFF, 0xFF, 0xFF})},
      {HUGE_VAL, Bytes({0x7F, 0xFF, 0xFF})},
      {-HUGE_VAL, Bytes({0xFF, 0xFF, 0xFF})},
      {std::nan(""), Bytes({0x00, 0x00, 0x00})},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(HexOf(EncodeReal3(c.x)), HexOf(c.bytes)) << "x = " << c.x;
  }
}

TEST(DecodeReal3, GivesExactValues) {
  struct Case {
    std::string bytes;
    double value;
  } cases[] = {
      {Bytes({0x41, 0xD9, 0x99}), 3.699981689453125},
      {Bytes({0xBC, 0x99, 0x99}), -0.09999942779541015625},
      {Bytes({0x00, 0x00, 0x01}), 0x1p-64 * (1.0 + 1.0 / 65536)},
      {Bytes({0x80, 0x00, 0x00}), -0x1p-64},
      {Bytes({0x7F, 0xFF, 0xFF}), kMaxReal3},
      {Bytes({0x00, 0x00, 0x00}), 0.0},
      {Bytes({0x40, 0x00, 0x00}), 1.0},
      {Bytes({0x40}), 1.0},  // missing bytes count as 0
      {"", 0.0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(DecodeReal3(c.bytes), c.value) << HexOf(c.bytes);
  }
  EXPECT_NEAR(DecodeReal3(Bytes({0x7F, 0xFF, 0xFF})), 1.8447e19, 1e15);
}

std::string SingleBytes(uint32_t pattern) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(pattern >> (8 * i));
  return s;
}

TEST(DecodeSingle, GivesRealsAndMinusOneForWhatItCannotShow) {
  auto pattern = [](std::initializer_list<int> leastFirst) {
    uint32_t p = 0;
    int shift = 0;
    for (int b : leastFirst) {
      p |= static_cast<uint32_t>(b) << shift;
      shift += 8;
    }
    return p;
  };
  const Real6 minusOne = ToReal6(-1.0);
  struct Case {
    uint32_t pattern;
    Real6 value;
  } cases[] = {
      {pattern({0xCD, 0xCC, 0x6C, 0x40}), ToReal6(static_cast<double>(3.7f))},
      {pattern({0x00, 0x00, 0x80, 0x7F}), minusOne},  // +infinity
      {pattern({0x00, 0x00, 0x80, 0xFF}), minusOne},  // -infinity
      {pattern({0x00, 0x00, 0xC0, 0x7F}), minusOne},  // NaN
      {pattern({0xFF, 0xFF, 0x7F, 0x7F}), minusOne},  // about 3.4e38
      {pattern({0xFF, 0xFF, 0x7F, 0xFF}), minusOne},  // about -3.4e38: the sign is lost
      {pattern({0x00, 0x00, 0x00, 0x00}), Real6{}},
      {pattern({0x00, 0x00, 0x00, 0x80}), Real6{}},
      {pattern({0x01, 0x00, 0x00, 0x00}), Real6{}},   // smallest subnormal
      {pattern({0x00, 0x00, 0x80, 0xBF}), minusOne},  // a true -1.0
      {pattern({0x00, 0x00, 0x20, 0x41}), ToReal6(10.0)},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(Real6Hex(DecodeSingle(c.pattern)), Real6Hex(c.value))
        << HexOf(SingleBytes(c.pattern));
  }
  // 10^38 itself is shown; the next single above it is not.
  float limit = 1e38f;
  uint32_t bits;
  std::memcpy(&bits, &limit, 4);
  EXPECT_EQ(FromReal6(DecodeSingle(bits)) > 0, static_cast<double>(limit) <= 1e38);
  EXPECT_EQ(FromReal6(DecodeSingle(bits + 1)), -1.0);
}

TEST(Real6, ConvertsListedValuesAndLimits) {
  struct Case {
    double x;
    std::string bytes;
  } cases[] = {
      {1.0, Bytes({0x81, 0, 0, 0, 0, 0x00})},
      {-1.0, Bytes({0x81, 0, 0, 0, 0, 0x80})},
      {1e-40, Bytes({0, 0, 0, 0, 0, 0})},
      {-1e-40, Bytes({0, 0, 0, 0, 0, 0})},
      {0x1p-128, Bytes({0x01, 0, 0, 0, 0, 0})},
      {0x1p-129, Bytes({0, 0, 0, 0, 0, 0})},
      // Just below 2^-128, rounding up to it.
      {0x1p-128 * (1 - 0x1p-45), Bytes({0x01, 0, 0, 0, 0, 0})},
      // Ties away from zero.
      {1.0 + 0x1p-40, Bytes({0x81, 0x01, 0, 0, 0, 0x00})},
      {-(1.0 + 0x1p-40), Bytes({0x81, 0x01, 0, 0, 0, 0x80})},
      {1.0 + 0x1p-41, Bytes({0x81, 0, 0, 0, 0, 0x00})},
      {2.0 - 0x1p-41, Bytes({0x82, 0, 0, 0, 0, 0x00})},
      // 2^127 and beyond: the largest magnitude with the value's sign.
      {0x1p127, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F})},
      {-1e300, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
      {-HUGE_VAL, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
      {std::nan(""), Bytes({0, 0, 0, 0, 0, 0})},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(Real6Hex(ToReal6(c.x)), HexOf(c.bytes)) << "x = " << c.x;
  }
  EXPECT_EQ(FromReal6(ToReal6(0x1p127)), (2.0 - 0x1p-39) * 0x1p126);
}

TEST(Real6, ClockAddingOneHundredthDriftsAsFortyBitsMakeIt) {
  Real6 clock;
  double exact40 = 0.0;
  for (int i = 0; i < 1000; ++i) {
    AddTo(clock, 0.01);
    exact40 = FromReal6(ToReal6(exact40 + 0.01));
  }
  EXPECT_EQ(FromReal6(clock), exact40);
  EXPECT_NEAR(FromReal6(clock), 10.0, 1e-8);
}

// Random doubles with a magnitude in [2^-63, 2^64), both signs.
TEST(EncodingProperties, RoundTripsStayWithinTheirPrecision) {
  std::mt19937_64 rng(20070820);
  std::uniform_int_distribution<int> exponent(-63, 63);
  int failures = 0;
  for (int i = 0; i < 1000000 && failures < 10; ++i) {
    uint64_t bits = rng();
    double x = std::ldexp(1.0 + static_cast<double>(bits >> 12) * 0x1p-52, exponent(rng));
    if (bits & 1) x = -x;
    const double ax = std::fabs(x);
    const double r3 = DecodeReal3(EncodeReal3(x));
    if (std::fabs(r3) > ax || std::fabs(r3) < ax * (1 - 0x1p-16) || std::signbit(r3) != (x < 0)) {
      ADD_FAILURE() << "Real3 round trip of " << x << " gives " << r3;
      ++failures;
    }
    const double r6 = FromReal6(ToReal6(x));
    if (std::fabs(r6 - x) > ax * 0x1p-40) {
      ADD_FAILURE() << "Real6 round trip of " << x << " gives " << r6;
      ++failures;
    }
  }
}

TEST(EncodingProperties, Real6HoldsEvery32BitIntegerExactly) {
  std::mt19937_64 rng(7);
  auto check = [](double v) { ASSERT_EQ(FromReal6(ToReal6(v)), v) << static_cast<int64_t>(v); };
  for (double v : {0.0, 1.0, -1.0, 2147483647.0, -2147483648.0, 4294967295.0, 4294967294.0,
                   2147483648.0, -2147483647.0, 65535.0, 16777217.0}) {
    check(v);
  }
  for (int i = 0; i < 200000; ++i) {
    uint32_t u = static_cast<uint32_t>(rng());
    check(static_cast<double>(u));
    check(static_cast<double>(static_cast<int32_t>(u)));
  }
}

TEST(Truncate, CutsTowardZeroAndGivesZeroOutsideSixtyFourBits) {
  struct Case {
    double x;
    int64_t value;
  } cases[] = {
      {2.7, 2},
      {-2.7, -2},
      {-1.5, -1},
      {0.999, 0},
      {-0.999, 0},
      {1e18, 1000000000000000000},
      {-0x1p63, std::numeric_limits<int64_t>::min()},
      {0x1p63, 0},
      {-0x1p64, 0},
      {1e300, 0},
      {HUGE_VAL, 0},
      {std::nan(""), 0},
  };
  for (const Case &c : cases) EXPECT_EQ(Truncate(c.x), c.value) << "x = " << c.x;
  EXPECT_EQ(Truncate(ToReal6(-300.7)), -300);
  // The low bits of the two's complement result, as a byte.
  EXPECT_EQ(static_cast<uint8_t>(Truncate(-1.5)), 255);
}

TEST(TextHelpers, GiveTheListedTexts) {
  EXPECT_EQ(BcdValue(0x59), 59);
  EXPECT_EQ(BcdValue(0x07), 7);
  EXPECT_EQ(BcdValue(0x1A), 20);
  EXPECT_EQ(HexByte(10).str(), "0A");
  EXPECT_EQ(HexByte(255).str(), "FF");
  EXPECT_EQ(HexWord(0x12AB).str(), "12AB");
  EXPECT_EQ(HexWord(7).str(), "0007");
  EXPECT_EQ(NumberText(300, 16).str(), "012Ch");
  EXPECT_EQ(NumberText(255, 16).str(), "FFh");
  EXPECT_EQ(NumberText(0x1FFFF, 2).str(), "FFFF");
  EXPECT_EQ(NumberText(300, 10).str(), "300");
  EXPECT_EQ(NumberText(-5, 10).str(), "-5");
  EXPECT_EQ(PadDecimal(5, 3).str(), "005");
  EXPECT_EQ(PadDecimal(1234, 3).str(), "1234");
  EXPECT_EQ(PadDecimal(0, 0).str(), "0");
  EXPECT_EQ(PadDecimal(65535, 7).str(), "0065535");
}

TEST(TextHelpers, CStringsAreBounded) {
  char field[300];
  std::memset(field, 'x', sizeof field);  // no NUL within 255 bytes
  EXPECT_EQ(TextFromCString(field).size(), 255u);
  EXPECT_EQ(TextFromCString("abc\0def").str(), "abc");
  EXPECT_TRUE(TextFromCString(nullptr).empty());

  char line[256];
  std::memset(line, 'y', sizeof line);
  CStringFromText(std::string(100, 'a'), line);
  EXPECT_EQ(std::string(line), std::string(80, 'a'));
  CStringFromText("short", line);
  EXPECT_EQ(std::string(line), "short");
}

TEST(BitHelpers, StayWithinTheirWidth) {
  EXPECT_TRUE(TestBit(uint8_t{0x80}, 7));
  EXPECT_FALSE(TestBit(uint8_t{0xFF}, 8));
  EXPECT_FALSE(TestBit(uint8_t{0xFF}, -1));
  EXPECT_TRUE(TestBit(uint16_t{0x8000}, 15));
  EXPECT_FALSE(TestBit(uint16_t{0x8000}, 14));
  EXPECT_EQ(SetBit(uint8_t{0x01}, 7), 0x81);
  EXPECT_EQ(SetBit(uint8_t{0x01}, 9), 0x01);
  EXPECT_EQ(ClearBit(uint16_t{0xFFFF}, 15), 0x7FFF);
  EXPECT_EQ(ClearBit(uint16_t{0xFFFF}, 16), 0xFFFF);
  EXPECT_EQ(PowerOfTwo8(7), 128);
  EXPECT_EQ(PowerOfTwo8(8), 0);
  EXPECT_EQ(PowerOfTwo16(15), 32768);
  EXPECT_EQ(PowerOfTwo16(16), 0);
  EXPECT_EQ(PowerOfTwoReal(-3), 0.125);
  EXPECT_EQ(PowerOfTwoReal(40), 1099511627776.0);
}

TEST(FormatReal, PrintsFixedPointRoundedAndPadded) {
  struct Case {
    double value;
    int width, decimals;
    std::string text;
  } cases[] = {
      {10.0, 1, 0, "10"},
      {7.0, 5, 0, "    7"},
      {3.14159, 8, 2, "    3.14"},
      {0.125, 1, 2, "0.13"},  // an exact tie goes away from zero
      {-0.125, 1, 2, "-0.13"},
      {2.5, 1, 0, "3"},
      {-2.5, 1, 0, "-3"},
      {0.5, 1, 0, "1"},
      {1.45, 1, 1, "1.4"},  // 1.45 is slightly below in binary: no tie
      {-0.4, 1, 0, "0"},    // no minus sign on zero
      {-0.001, 6, 2, "  0.00"},
      {1234.5, 3, 1, "1234.5"},
      {300.0, 5, 0, "  300"},
      {65535.0, 5, 0, "65535"},
      {100.0 * 128 / 255, 10, 2, "     50.20"},
      {1e20, 1, 0, "100000000000000000000"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(FormatReal(c.value, c.width, c.decimals).str(), c.text)
        << c.value << " " << c.width << " " << c.decimals;
  }
  EXPECT_EQ(FormatReal(1, 300, 0).size(), 255u);
}

TEST(FormatReal, WidthAndDecimalsZeroReadBack) {
  for (double v : {0.1, 100.0, -3.7, FromReal6(ToReal6(0.01)), 1e-30, 1.7e38, 0.0, 123456.789}) {
    Str255 text = FormatReal(v, 0, 0);
    double back = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), back);
    EXPECT_EQ(res.ec, std::errc()) << text.str();
    EXPECT_EQ(back, v) << text.str();
  }
  EXPECT_EQ(FormatReal(0.1, 0, 0).str(), "0.1");
  EXPECT_EQ(FormatReal(100.0, 0, 0).str(), "100");
}

TEST(HexText, WritesTwoDigitsAndABlankPerByteCutAt255) {
  EXPECT_EQ(HexText(Bytes({0x00, 0xAB, 0x10})).str(), "00 AB 10 ");
  EXPECT_EQ(HexText("").str(), "");
  std::string many(100, '\xFF');
  Str255 text = HexText(many);
  EXPECT_EQ(text.size(), 255u);
  EXPECT_EQ(text.view().substr(252), "FF ");
}

}  // namespace
}  // namespace zl
