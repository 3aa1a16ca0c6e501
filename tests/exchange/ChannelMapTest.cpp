// The channel map: resolution order, overlaps, and the index against the
// literal scans over random configurations.
#include <gtest/gtest.h>

#include <random>

#include "exchange/ChannelMap.h"
#include "support/ExchangeFixture.h"

namespace zl {
namespace {

using test::ExchangeFixture;
using K = ChannelKind;

struct Expect {
  uint16_t channel;
  int station;  // 0: nothing
  K kind;       // None with a station: the station's QQ variable
  int item;
};

void ExpectResolves(ExchangeFixture &f, std::initializer_list<Expect> cases) {
  for (const Expect &e : cases) {
    SCOPED_TRACE("channel " + std::to_string(e.channel));
    const ChannelTarget t = LookupChannel(f.Di, *f.Di.Channels, e.channel);
    EXPECT_EQ(t.StationNo, e.station);
    if (e.station == 0) continue;
    if (e.kind == K::None) {
      EXPECT_EQ(t.Class, ChannelEntry::kVariable);
    } else {
      EXPECT_EQ(t.Class, ChannelEntry::kStation);
      EXPECT_EQ(t.Kind, e.kind);
      EXPECT_EQ(t.Item, e.item);
    }
  }
}

TEST(ChannelMap, ResolutionOrderAndOverlaps) {
  ExchangeFixture f;
  ASSERT_TRUE(f.LoadStations({
      // Station 1: BI 100..115 overlaps a variable; MO and MI overlap.
      "CHANNEL_BI 100\nQQ READ 105 0 1 2 WORD\nQQ READ 105 0 1 3 BYTE\n"
      "NUM_MEMORY_IN 5\nNUM_MEMORY_OUT 5\nCHANNEL_MI 200\nCHANNEL_MO 203\n"
      "NUM_BINAR_OUT 0\nCHANNEL_BO 300\n",
      // Station 2: its BI range overlaps station 1's; a block whose read channel
      // lies in its own items, and a second block read inside the first's items.
      "CHANNEL_BI 110\nCHANNEL_AI 400\nErrorNoAnswer 65535\nMsgCounter 65535\n"
      "MEMORY_BLOCK ADDR 1 CHANNEL 500 CHANNEL_READ 501 TYPES WORD BIDIR WORD INPUT "
      "BYTE OUTPUT TYPES_END MEMORY_BLOCK_END\n"
      "MEMORY_BLOCK ADDR 9 CHANNEL 600 CHANNEL_READ 502 TYPES BYTE BIDIR TYPES_END "
      "MEMORY_BLOCK_END\n",
      "ORIGINAL_CHANNELS",
  })) << f.Error();
  ExpectResolves(f, {
                        {105, 1, K::None, 0},  // the variable wins over BI 6
                        {104, 1, K::BinaryInput, 5},
                        {112, 1, K::BinaryInput, 13},  // the lower station wins
                        {116, 2, K::BinaryInput, 7},
                        {203, 1, K::MemoryOutput, 1},  // MO before MI
                        {202, 1, K::MemoryInput, 3},
                        {300, 0, K::None, 0},  // NUM_BINAR_OUT 0 claims nothing
                        {65535, 2, K::ErrorCounter, 1},
                        {501, 2, K::MemoryBlockRead, 1},  // read before items
                        {502, 2, K::MemoryBlockItem, 3},  // block 1 before block 2
                        {600, 2, K::MemoryBlockItem, 1},
                        {1001, 3, K::BinaryInput, 1},
                        {1456, 3, K::VideoText, 1},
                        {1459, 3, K::VideoText, 4},
                        {1481, 3, K::MessageCounter, 1},
                    });
  // Two variables on one channel: the first in file order.
  EXPECT_EQ(LookupChannel(f.Di, *f.Di.Channels, 105).Variable->Address[2], 2);
  EXPECT_EQ(f.St(3).NameChannel, 0);
  EXPECT_EQ(f.St(3).CallCodeChannel, 0);
}

TEST(ChannelMap, ChannelsLeftAtZeroStillMatch) {
  ExchangeFixture f;
  ASSERT_TRUE(f.LoadStations({"NUM_COUNTER_IN 20"})) << f.Error();
  ExpectResolves(f, {{0, 1, K::BinaryInput, 1},
                     {15, 1, K::BinaryInput, 16},
                     {19, 1, K::Counter, 20},
                     {20, 0, K::None, 0}});
}

TEST(ChannelMap, ARangeEndingPastTheLastChannelDoesNotWrap) {
  ExchangeFixture f;
  ASSERT_TRUE(f.LoadStations({"CHANNEL_BI 65530\nCHANNEL_BO 65534\nCHANNEL_AI 1000"}));
  ExpectResolves(f, {{65535, 1, K::BinaryInput, 6},
                     {0, 1, K::ErrorCounter, 1},  // not BI: the range stops at 65535
                     {3, 1, K::VideoText, 4},
                     {4, 0, K::None, 0}});
}

// A random configuration that makes overlaps likely: channels drawn mostly
// from a small span, some at 0, some at the top of the channel space.
// Answers the span.
int RandomConfiguration(DriverInstance &di, std::mt19937 &rng) {
  auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const int stations = below(50) == 0 ? kMaxStations : 1 + below(6);
  const int span = 60 * stations + 300;
  auto channel = [&]() -> uint16_t {
    switch (below(10)) {
      case 0:
        return 0;
      case 1:
        return static_cast<uint16_t>(65520 + below(16));
      case 2:
        return static_cast<uint16_t>(rng());
      default:
        return static_cast<uint16_t>(below(span));
    }
  };
  di.StationCount = static_cast<uint8_t>(stations);
  di.DropStations();
  for (int n = 1; n <= stations; ++n) {
    Station *st = &di.MakeStation(n);
    st->NumBinarIn = static_cast<uint8_t>(below(4) ? below(97) : 0);
    st->NumBinarOut = static_cast<uint8_t>(below(97));
    st->NumAnalogIn = static_cast<uint8_t>(below(65));
    st->NumCounterIn = static_cast<uint8_t>(below(49));
    st->NumMemoryIn = static_cast<uint8_t>(below(46));
    st->NumMemoryOut = static_cast<uint8_t>(below(101));
    for (uint16_t &c : st->GroupChannels) c = below(3) ? channel() : 0;
    for (uint16_t &c : st->StatusChannels) c = below(3) ? channel() : 0;
    st->MsgCounterChannel = channel();
    st->NameChannel = below(2) ? channel() : 0;
    st->CallCodeChannel = below(2) ? channel() : 0;
    for (int v = below(8); v > 0; --v) st->QqVariables.push_back(QqVariable{.Channel = channel()});
    st->MemoryBlocks.resize(static_cast<std::size_t>(below(4)));
    for (MemoryBlock &b : st->MemoryBlocks) {
      b.FirstChannel = channel();
      b.ReadChannel = channel();
      const int items = below(20) == 0 ? 255 : 1 + below(30);
      b.ItemTypes.assign(std::string(static_cast<std::size_t>(items), '\x02'));
    }
    st->StartElementValues();  // as the load does
  }
  return span;
}

TEST(ChannelMap, IndexAnswersAsTheLiteralScansOverRandomConfigurations) {
  std::mt19937 rng(20070820);
  DriverInstance di;
  for (int config = 0; config < 2000; ++config) {
    const int span = RandomConfiguration(di, rng);
    const auto index = BuildChannelIndex(di);
    std::vector<uint16_t> probes;
    const int step = di.StationCount == kMaxStations ? 13 : 1;
    for (int c = 0; c < span + 100; c += step) probes.push_back(static_cast<uint16_t>(c));
    for (int c = 65500; c <= 65535; ++c) probes.push_back(static_cast<uint16_t>(c));
    for (int i = 0; i < 50; ++i) probes.push_back(static_cast<uint16_t>(rng()));
    for (uint16_t c : probes) {
      const ChannelTarget t = LookupChannel(di, *index, c);
      const VariableMatch v = FindVariable(ConfiguredStations(di), c);
      const StationMatch m = ResolveStationChannel(ConfiguredStations(di), c);
      if (v.StationNo) {
        ASSERT_EQ(t.Class, ChannelEntry::kVariable) << "config " << config << " channel " << c;
        ASSERT_EQ(t.Variable, &di.StationAt(v.StationNo)->QqVariables[v.Position])
            << "config " << config << " channel " << c;
        ASSERT_EQ(t.StationNo, v.StationNo);
      } else if (m.StationNo) {
        ASSERT_EQ(t.Class, ChannelEntry::kStation) << "config " << config << " channel " << c;
        ASSERT_EQ(t.StationNo, m.StationNo) << "config " << config << " channel " << c;
        ASSERT_EQ(t.Kind, m.Kind) << "config " << config << " channel " << c;
        ASSERT_EQ(t.Item, m.Item) << "config " << config << " channel " << c;
        ASSERT_EQ(t.Block,
                  m.IsBlock() ? &di.StationAt(m.StationNo)->MemoryBlocks[m.Position] : nullptr)
            << "config " << config << " channel " << c;
      } else {
        ASSERT_EQ(t.Class, ChannelEntry::kNone) << "config " << config << " channel " << c;
      }
    }
  }
}

TEST(ChannelMap, AnEntryNamingARecordThatIsGoneResolvesToNothing) {
  ExchangeFixture f;
  ASSERT_TRUE(f.LoadStations({"ORIGINAL_CHANNELS\nQQ READ 2500 0 1 2 WORD"}));
  f.Di.StationCount = 0;  // as after Done
  EXPECT_EQ(LookupChannel(f.Di, *f.Di.Channels, 1).Class, ChannelEntry::kNone);
  EXPECT_EQ(LookupChannel(f.Di, *f.Di.Channels, 2500).Class, ChannelEntry::kNone);
}

}  // namespace
}  // namespace zl
