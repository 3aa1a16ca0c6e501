// The findings of a check of the parameter file: where Init refuses it and
// where the driver takes it otherwise than written, each at its line and
// column; none for the example files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/ParameterSet.h"
#include "support/TestSupport.h"
#include "util/Texts.h"

namespace zl {
namespace {

struct Found {
  uint32_t Line, Column;
  bool Refused;
  std::string Text;
};

std::vector<Found> Check(const std::string &text, bool &loaded) {
  std::vector<Found> out;
  LoadContext ctx;
  ctx.FindingSink = [&](const LoadFinding &f) {
    out.push_back({f.At.Line, f.At.Column, f.Refused, f.Text});
  };
  ParameterSet set;
  SetDefaults(set);
  loaded = ReadParameterText(ctx, text, set);
  std::stable_sort(out.begin(), out.end(), [](const Found &a, const Found &b) {
    return a.Line != b.Line ? a.Line < b.Line : a.Column < b.Column;
  });
  return out;
}

// Lines joined with CR LF, as the driver's files are written.
std::string Lines(std::initializer_list<const char *> lines) {
  std::string out;
  for (const char *l : lines) out += std::string(l) + "\r\n";
  return out;
}

class FileCheck : public ::testing::Test {
 protected:
  void SetUp() override { SetLanguage(Language::English); }
  void TearDown() override { SetLanguage(Language::Czech); }
};

TEST_F(FileCheck, EveryKindOfProblemAtItsPlace) {
  const std::string file = Lines({
      "stray",  // 1
      "[GLOBAL]",
      "  PREFIX NONE",
      "  SUFFIX $0D",
      "  PRESUFFIX NONE",  // 5
      "  ADDRESS 0 ANSWER_TIME 2.5 DEF_ANALOG_IN_ADDR 40",
      "  IDLE_TIME 70000 SLEEP_TIME soon",
      "  FOO",
      "END",
      "[STATION]",  // 10
      "  ADDRESS 300 RETRANSLATION 0 NAME \"KOTELNA\"",
      "  IP 127.0.0.1",
      "  PORT 99999",
      "  NUM_BINAR_IN 500 NUM_BINAR_OUT 8 NUM_ANALOG_IN 4 NUM_COUNTER_IN 0",
      "  NUM_MEMORY_IN 0 NUM_MEMORY_OUT 0 BINAR_IN_XOR NONE",  // 15
      "  BINAR_OUT_XOR NONE",
      "  DEF_ANALOG_IN_ADDR FROM_GLOBAL",
      "  DEF_MEMORY_IN NONE DEF_MEMORY_OUT NONE DEF_COUNTER_IN NONE",
      "  ORIGINAL_CHANNELS",
      "  QQ READ 5 0 16 4 WORD",  // 20
      "  QQ READ 5 0 16 5 WORD",
      "  CHANNEL_AI 10",
      "END",
      "[STATION]",
      "  ADDRESS 6",  // 25
      "  QQ READ 2500 0 16 4 WROD",
      "END",
  });
  bool loaded = false;
  const std::vector<Found> found = Check(file, loaded);
  EXPECT_TRUE(loaded);  // the driver loads it all the same
  const Found expected[] = {
      {1, 1, false, "\"stray\" stands outside a section"},
      {7, 13, false, "IDLE_TIME 70000: the number does not fit its field; the driver takes 4464"},
      {7, 30, false, "SLEEP_TIME soon: not a number"},
      {8, 3, false, "\"FOO\" is no keyword of [GLOBAL]"},
      {11, 11, false, "ADDRESS 300: the number does not fit its field; the driver takes 44"},
      {12, 6, false, "IP: no text in double quotes"},
      {13, 8, false, "PORT 99999: the number does not fit its field; the driver takes 34463"},
      {14, 16, false, "NUM_BINAR_IN 500: above the limit of 96; the driver takes 96"},
      // Read in the driver's order: the QQ variables first, then the groups.
      {19, 3, false,
       "CHANNEL_BI (station 1), channels 5: already taken by QQ (station 1, line 20)"},
      {21, 3, false, "QQ (station 1), channels 5: already taken by QQ (station 1, line 20)"},
      {22, 3, false, "CHANNEL_AI (station 1), channels 10-13: already taken by CHANNEL_BI"},
      {26, 3, false, "Bad variable definition QQ / [STATION]: ZAVRO-2 variable - bad type"},
      // The second station is kept as read, and the reading stops there.
      {27, 1, false,
       "Bad variable definition RETRANSLATION / [STATION]: the driver loads the "
       "file all the same"},
  };
  ASSERT_GE(found.size(), std::size(expected));
  std::size_t next = 0;
  for (const Found &f : found) {
    if (next == std::size(expected)) break;
    const Found &e = expected[next];
    if (f.Line != e.Line || f.Column != e.Column || f.Text.find(e.Text) == std::string::npos)
      continue;
    EXPECT_EQ(f.Refused, e.Refused) << e.Text;
    ++next;
  }
  EXPECT_EQ(next, std::size(expected)) << "missing: " << expected[next].Text;

  // Init refuses a file whose only station lacks END: one refusal, at the end.
  const std::string noEnd =
      Lines({"[GLOBAL] PREFIX NONE", "SUFFIX NONE", "PRESUFFIX NONE",
             "ADDRESS 0 ANSWER_TIME 1 DEF_ANALOG_IN_ADDR 0 END", "[STATION] ADDRESS 1"});
  const std::vector<Found> refused = Check(noEnd, loaded);
  EXPECT_FALSE(loaded);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_TRUE(refused[0].Refused);
  EXPECT_EQ(refused[0].Line, 6u);
  EXPECT_EQ(refused[0].Text, "Missing END at the end of section [STATION]");
}

TEST_F(FileCheck, TheExampleFilesLoadAsWritten) {
  for (const char *name : {"demo.par", "minimal.par"}) {
    bool loaded = false;
    const std::vector<Found> found =
        Check(test::TempDir::Read(std::string(ZL_SOURCE_DIR) + "/examples/" + name), loaded);
    EXPECT_TRUE(loaded) << name;
    for (const Found &f : found) ADD_FAILURE() << name << ":" << f.Line << ": " << f.Text;
  }
}

}  // namespace
}  // namespace zl
