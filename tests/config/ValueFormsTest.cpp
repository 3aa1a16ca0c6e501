// Whole numbers, reals and the text rule, and what a failure does to a field.
#include "config/ValueForms.h"

#include <gtest/gtest.h>

#include "support/ConfigFixture.h"

namespace zl {
namespace {

using test::ConfigFixture;
using test::Cp;
using test::GlobalSection;
using test::StationSection;

TEST(ValueForms, WholeNumbers) {
  struct Case {
    const char *text;
    std::optional<int32_t> value;
  } cases[] = {
      {"12", 12},
      {"  12", 12},
      {"-5", -5},
      {"+7", 7},
      {"$1F", 31},
      {"x1f", 31},
      {"X1F", 31},
      {"0x10", 16},
      {"0X10", 16},
      {"-$10", -16},
      {"$FFFFFFFF", -1},
      {"$00000000FF", 255},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"70000", 70000},
      {"", std::nullopt},
      {" ", std::nullopt},
      {"12a", std::nullopt},
      {"1 2", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"$-1", std::nullopt},
      {"1.0", std::nullopt},
      {"2147483648", std::nullopt},
      {"$100000000", std::nullopt},
      {"FROM_GLOBAL", std::nullopt},
      {"--1", std::nullopt},
  };
  for (const Case &c : cases) EXPECT_EQ(ParseWhole(c.text), c.value) << '"' << c.text << '"';
}

TEST(ValueForms, Reals) {
  struct Case {
    const char *text;
    std::optional<double> value;
  } cases[] = {
      {"2.5", 2.5},           {"-1", -1.0},
      {"1e3", 1000.0},        {"1.5E-2", 0.015},
      {" +.5", 0.5},          {"5.", 5.0},
      {"", std::nullopt},     {".", std::nullopt},
      {"e5", std::nullopt},   {"1e", std::nullopt},
      {"1,5", std::nullopt},  {"INF", std::nullopt},
      {"NAN", std::nullopt},  {"0x1p3", std::nullopt},
      {"$10", std::nullopt},  {"1e999", std::nullopt},
      {"1.5x", std::nullopt},
  };
  for (const Case &c : cases) EXPECT_EQ(ParseReal(c.text), c.value) << '"' << c.text << '"';
}

TEST(ValueForms, TextRule) {
  struct Case {
    const char *joined;
    std::optional<std::string> text;
  } cases[] = {
      {"\"KOTELNA1\"", "KOTELNA1"},
      {"$0D$0A", "\r\n"},
      {"\"AB\"$03", std::string("AB\x03")},
      {"abc", ""},
      {"x$41y", "A"},
      {"\"$41\"", "$41"},
      {"\"open to the end", "open to the end"},
      {"$0", std::nullopt},
      {"ok$", std::nullopt},
      {"$0G", std::nullopt},
      {"$-1", std::nullopt},
  };
  for (const Case &c : cases) EXPECT_EQ(DecodeText(c.joined), c.text) << c.joined;
}

// Loads [GLOBAL] with extra lines and one station.
bool LoadGlobals(ConfigFixture &f, std::string_view extra) {
  return f.Load(GlobalSection(extra) + StationSection());
}

TEST(ValueForms, FieldWidthsAndFailuresThroughTheLoader) {
  ConfigFixture f;
  ASSERT_TRUE(LoadGlobals(f,
                          "IDLE_TIME 70000\r\nSILENCE_WAIT 70000\r\nNUM_TOLVIN_ERROR 300\r\n"
                          "SLEEP_COUNT $FFFF\r\nSLEEP_TIME 1e"))
      << f.Error();
  EXPECT_EQ(f.Di.Global.IdleTime, 4464);
  EXPECT_EQ(f.Di.Global.SilenceWait, 4464);
  EXPECT_EQ(f.Di.Global.NumTolvinError, 44);
  EXPECT_EQ(f.Di.Global.SleepCount, 65535);
  EXPECT_EQ(FromReal6(f.Di.Global.SleepTime), FromReal6(ToReal6(kInvalidReal)));

  // A wider field keeps its value, an 8-bit field becomes 0; an optional
  // keyword stays defined.
  ASSERT_TRUE(LoadGlobals(f, "SILENCE_WAIT 12\r\nSILENCE_WAIT zz\r\nNUM_TOLVIN_ERROR zz"));
  EXPECT_EQ(f.Di.Global.SilenceWait, 12);
  EXPECT_EQ(f.Di.Global.NumTolvinError, 0);

  // FROM_GLOBAL is DEF_ANALOG_IN_ADDR as it stands at that moment.
  ASSERT_TRUE(LoadGlobals(f, "SILENCE_WAIT FROM_GLOBAL"));
  EXPECT_EQ(f.Di.Global.SilenceWait, 40);
  EXPECT_EQ(f.St(1).AnalogInAddr, 40);
}

// The six required [GLOBAL] keywords, one of them with the given value.
std::string RequiredGlobals(std::string_view keyword, std::string_view value) {
  const char *names[] = {"PREFIX",  "SUFFIX",      "PRESUFFIX",
                         "ADDRESS", "ANSWER_TIME", "DEF_ANALOG_IN_ADDR"};
  const char *values[] = {"NONE", "NONE", "NONE", "0", "1", "40"};
  std::string s = "[GLOBAL]\r\n";
  for (int i = 0; i < 6; ++i)
    s +=
        std::string(names[i]) + " " + std::string(names[i] == keyword ? value : values[i]) + "\r\n";
  return s + "END\r\n";
}

TEST(ValueForms, RejectedValuesOfRequiredKeywords) {
  struct Case {
    const char *keyword, *value, *message;
  } cases[] = {
      {"ADDRESS", "1.5", "Chybná definice proměnné ADDRESS / [GLOBAL]"},
      {"ANSWER_TIME", "x", "Chybná definice proměnné ANSWER_TIME / [GLOBAL]"},
      {"SUFFIX", "\"A\"$0", "Chybná definice proměnné SUFFIX / [GLOBAL]"},
      {"PREFIX", "$4", "Chybná definice proměnné PREFIX / [GLOBAL]"},
      {"DEF_ANALOG_IN_ADDR", "1e2", "Chybná definice proměnné DEF_ANALOG_IN_ADDR / [GLOBAL]"},
      // -1 disables FROM_GLOBAL, which the station uses for a required keyword.
      {"DEF_ANALOG_IN_ADDR", "-1", "Chybná definice proměnné DEF_ANALOG_IN_ADDR / [STATION]"},
  };
  for (const Case &c : cases) {
    ConfigFixture f;
    EXPECT_FALSE(f.Load(RequiredGlobals(c.keyword, c.value) + StationSection())) << c.value;
    EXPECT_EQ(f.Error(), Cp(c.message)) << c.value;
  }
}

TEST(ValueForms, TextsThroughTheLoader) {
  ConfigFixture f;
  ASSERT_TRUE(f.Load(GlobalSection("PREFIX \"ab\"$03\r\nSUFFIX $0D$0A\r\nPRESUFFIX NONE") +
                     StationSection("NAME \"Kotelna 1\" { the boiler house }\r\nIP 127.0.0.1")))
      << f.Error();
  EXPECT_EQ(f.Di.Global.Prefix.str(), "AB\x03");  // the value item is upper-cased
  EXPECT_EQ(f.Di.Global.Suffix.str(), "\r\n");
  EXPECT_EQ(f.Di.Global.PreSuffix.str(), "");
  EXPECT_EQ(f.St(1).Name.str(), "KOTELNA1");
  EXPECT_EQ(f.St(1).Ip.str(), "");  // no quotes: nothing kept, still defined

  // The rest of the line keeps its case; texts are cut to their field.
  ASSERT_TRUE(f.Load(GlobalSection() + StationSection("NAME \"" + std::string(100, 'n') +
                                                      " tail\"\r\n"
                                                      "IP \"192.168.100.200 and more\"")));
  // The value item is cut to 80 before the join, the text to 80 after it.
  EXPECT_EQ(f.St(1).Name.str(), std::string(79, 'N') + "t");
  EXPECT_EQ(f.St(1).Ip.str(), "192.168.100.200");
}

TEST(ValueForms, RestOfLineWithBareLineFeeds) {
  ConfigFixture f;
  // With LF line ends the separator after "X" is the LF, so the text takes
  // the whole next line with it: SUFFIX is never seen.
  std::string lf =
      "[GLOBAL]\nPREFIX \"X\"\nSUFFIX NONE\nPRESUFFIX NONE\nADDRESS 0\n"
      "ANSWER_TIME 1\nDEF_ANALOG_IN_ADDR 0\nEND\n";
  EXPECT_FALSE(f.Load(lf + StationSection()));
  EXPECT_EQ(f.Error(), Cp("Chybná definice proměnné SUFFIX / [GLOBAL]"));
  EXPECT_EQ(f.Di.Global.Prefix.str(), "X");
  EXPECT_TRUE(f.Load(test::Crlf(lf) + StationSection())) << f.Error();
}

}  // namespace
}  // namespace zl
