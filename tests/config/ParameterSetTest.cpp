// The parameter file read as a plain value, outside a driver: it must agree
// with what Init makes of the same file, since the tools act on it.
#include "config/ParameterSet.h"

#include <gtest/gtest.h>

#include <cstring>

#include "config/ChannelLayout.h"
#include "exchange/ChannelMap.h"
#include "support/ConfigFixture.h"

namespace zl {
namespace {

using test::GlobalSection;
using test::StationSection;

TEST(ParameterSet, ReadsWhatInitReadsStationsChannelsAndFailures) {
  // A rejected last station still stands after an accepted one, as in Init.
  const std::string text =
      GlobalSection() +
      StationSection("ORIGINAL_CHANNELS\r\nQQ READ 2500 0 1 2 WORD\r\n", 1, 4001) +
      StationSection("CHANNEL_BI 7000\r\n", 2, 4002) + "[STATION]\r\n ADDRESS 3\r\nEND\r\n";
  test::ConfigFixture f;
  ASSERT_TRUE(f.Load(text)) << f.Error();
  ParameterSet set;
  std::string error;
  ASSERT_TRUE(ReadParameterFile(f.Dir.Write("plain.par", text), set, error)) << error;
  ASSERT_EQ(set.StationCount(), f.Di.StationCount);
  EXPECT_EQ(set.StationCount(), 3);
  EXPECT_EQ(set.At(2)->Port, 4002);
  EXPECT_EQ(set.At(0), nullptr);
  EXPECT_EQ(set.At(4), nullptr);

  // Every channel means the same to the tools as to the running driver.
  const auto fromSet = BuildChannelIndex(ViewOf(set));
  const auto fromDriver = BuildChannelIndex(f.Di);
  EXPECT_EQ(std::memcmp(fromSet->Entries, fromDriver->Entries, sizeof fromSet->Entries), 0);
  const VariableMatch v = FindVariable(ViewOf(set), 2500);
  EXPECT_EQ(v.StationNo, 1);
  EXPECT_EQ(set.At(1)->QqVariables[v.Position].Channel, 2500);
  const StationMatch m = ResolveStationChannel(ViewOf(set), 7003);
  EXPECT_EQ(m.StationNo, 2);
  EXPECT_EQ(m.Kind, ChannelKind::BinaryInput);
  EXPECT_EQ(m.Item, 4);

  // A failure gives Init's message, in UTF-8.
  EXPECT_FALSE(ReadParameterFile(f.Dir.Write("bad.par", "[STATION]\r\nEND\r\n"), set, error));
  EXPECT_EQ(error, "Chybí definice skupiny [GLOBAL]");
  EXPECT_FALSE(ReadParameterFile(f.Dir.File("missing.par"), set, error));
  EXPECT_NE(error.find("missing.par"), std::string::npos) << error;
}

}  // namespace
}  // namespace zl
