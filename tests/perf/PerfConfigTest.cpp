// The large configurations the benchmarks measure: they must load, and every
// channel a benchmark reads must be of the class it claims to measure;
// otherwise a figure would describe some other path through the driver.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "exchange/ChannelMap.h"
#include "exchange/InputPath.h"
#include "support/ConfigFixture.h"
#include "support/PerfConfig.h"

namespace zl::test {
namespace {

using namespace zl::test::perf;

class PerfConfigTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    di_.Services = &services_;
    PerfFileOptions options;
    options.EveryKind = GetParam();
    std::string error;
    ASSERT_TRUE(LoadConfigText(di_, PerfParameterFile(options), &error)) << error;
    di_.Channels = BuildChannelIndex(di_);
  }

  FakeServices services_;
  DriverInstance di_;
};

TEST_P(PerfConfigTest, HundredStationsOfSixtyVariablesWithUniqueAddresses) {
  ASSERT_EQ(di_.StationCount, 100);
  std::set<uint32_t> descriptors;
  for (int n = 1; n <= 100; ++n) {
    const Station &st = *di_.StationAt(n);
    ASSERT_EQ(st.QqVariables.size(), static_cast<std::size_t>(kQqPerStation)) << n;
    for (int v = 0; v < kQqPerStation; ++v) {
      const QqVariable &var = st.QqVariables[static_cast<std::size_t>(v)];
      EXPECT_EQ(var.Channel, QqChannel(n, v));
      EXPECT_TRUE(var.Direction == kQqRead || var.Direction == kQqBidir);
      const int parts = var.Type == kQqString ? 8 : 1;
      for (int p = 0; p < parts; ++p) {
        const uint32_t d = uint32_t{var.Address[0]} << 16 | uint32_t{var.Address[1]} << 8 |
                           static_cast<uint8_t>(var.Address[2] + p);
        EXPECT_TRUE(descriptors.insert(d).second) << "station " << n << " variable " << v;
      }
    }
  }
}

TEST_P(PerfConfigTest, NoStationClaimsADiagnosticChannel) {
  for (uint16_t ch = 488; ch <= 499; ++ch) {
    EXPECT_EQ(LookupChannel(di_, *di_.Channels, ch).Class, ChannelEntry::kNone) << ch;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, PerfConfigTest, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "EveryKind" : "Plain"; });

TEST(PerfConfig, EveryKindFileHasEveryDefinition) {
  FakeServices services;
  DriverInstance di;
  di.Services = &services;
  ASSERT_TRUE(LoadConfigText(di, PerfParameterFile({})));
  for (int n : {1, 50, 100}) {
    const Station &st = *di.StationAt(n);
    EXPECT_EQ(st.MemoryBlocks.size(), 2u);
    EXPECT_EQ(st.NumMemoryIn, kMemoryIn);
    EXPECT_EQ(st.NumMemoryOut, kMemoryOut);
    EXPECT_NE(st.MemoryIn[kMemoryIn].Address, 0);
    EXPECT_NE(st.MemoryOut[kMemoryOut].Address, 0);
    EXPECT_TRUE(st.BinarInXor[5]);
    EXPECT_EQ(st.NameChannel, NameChannel(n));
    EXPECT_EQ(st.CallCodeChannel, CallCodeChannel(n));
    EXPECT_EQ(st.Phone.empty(), n % 10 != 0);
  }
}

// Each sample resolves to its class in the first and the last station, and
// GetInput writes a value for it.
TEST(PerfConfig, ClassSamplesAreOfTheirClass) {
  FakeServices services;
  DriverInstance di;
  di.Services = &services;
  ASSERT_TRUE(LoadConfigText(di, PerfParameterFile({})));
  di.Channels = BuildChannelIndex(di);
  struct Expected {
    uint8_t Class;
    ChannelKind Kind;
  };
  const Expected expected[] = {
      {ChannelEntry::kVariable, ChannelKind::None},
      {ChannelEntry::kStation, ChannelKind::BinaryInput},
      {ChannelEntry::kStation, ChannelKind::AnalogInput},
      {ChannelEntry::kStation, ChannelKind::Counter},
      {ChannelEntry::kStation, ChannelKind::VideoText},
      {ChannelEntry::kStation, ChannelKind::MemoryBlockItem},
      {ChannelEntry::kNone, ChannelKind::None},
      {ChannelEntry::kNone, ChannelKind::None},
  };
  for (int n : {1, 100}) {
    const auto samples = ClassSamples(n);
    ASSERT_EQ(samples.size(), std::size(expected));
    for (std::size_t i = 0; i < samples.size(); ++i) {
      SCOPED_TRACE(std::string(samples[i].Class) + " of station " + std::to_string(n));
      const ChannelTarget t = LookupChannel(di, *di.Channels, samples[i].Channel);
      EXPECT_EQ(t.Class, expected[i].Class);
      if (t.Class == ChannelEntry::kStation) {
        EXPECT_EQ(t.Kind, expected[i].Kind);
        EXPECT_EQ(t.StationNo, n);
      }
      char text[256];
      HostValue value{samples[i].Type, {}};
      std::memset(value.value, 0xEE, sizeof value.value);
      if (samples[i].Type == ZL_TYPE_TEXT) {
        const auto address = reinterpret_cast<uintptr_t>(text);
        std::memcpy(value.value, &address, sizeof address);
        std::memset(text, 0xEE, sizeof text);
      }
      GetInput(di, samples[i].Channel, value);
      if (samples[i].Type == ZL_TYPE_TEXT) {
        EXPECT_NE(text[0], static_cast<char>(0xEE));
      } else {
        EXPECT_NE(value.value[0], 0xEE);
      }
    }
  }
}

}  // namespace
}  // namespace zl::test
