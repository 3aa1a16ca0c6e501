// The channel map a host reads with GetChannelMap: sized like snprintf, and
// true to the driver: every channel it names resolves in the parameter file
// to what it says, and GetInput serves it in exactly the types it lists.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "config/ChannelLayout.h"
#include "config/ParameterSet.h"
#include "support/Json.h"
#include "zlnetdrv.h"

namespace zl {
namespace {

const std::string kDemo = std::string(ZL_SOURCE_DIR) + "/examples/demo.par";

std::string Map(void *h) {
  const int32_t length = GetChannelMap(h, nullptr, 0);
  std::string text(static_cast<std::size_t>(length) + 1, '#');
  EXPECT_EQ(GetChannelMap(h, text.data(), length + 1), length);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

TEST(ChannelMapJson, SizedLikeSnprintfAndEmptyWithoutAConfiguration) {
  void *h = MakeDriver();
  const std::string empty = R"({"stations":[],"driverChannels":[],"diagnosticChannels":[]})";
  EXPECT_EQ(Map(h), empty);
  char small[8];
  std::memset(small, '#', sizeof small);
  EXPECT_EQ(GetChannelMap(h, small, 4), static_cast<int32_t>(empty.size()));
  EXPECT_STREQ(small, "{\"s");
  EXPECT_EQ(small[4], '#');
  EXPECT_EQ(GetChannelMap(h, nullptr, 10), 0);
  EXPECT_EQ(GetChannelMap(nullptr, nullptr, 0), 0);
  // The status window answers a null buffer of size 0 the same way.
  char probe[1];
  EXPECT_GT(GetStatusWindow(h, nullptr, 0), 0);
  EXPECT_EQ(GetStatusWindow(h, nullptr, 0), GetStatusWindow(h, probe, 0));

  char text[256] = "MAP";
  ASSERT_EQ(Init(h, 255, kDemo.c_str(), 0, text, 0), 1) << text;
  EXPECT_NE(Map(h), empty);
  Done(h);
  EXPECT_EQ(Map(h), empty);  // Done frees the configuration
  DisposeDriver(h);
}

uint32_t TypeCode(const std::string &name) {
  static const char *const names[] = {"",    "",    "bool",   "u8",     "u16",  "u32",   "i8",
                                      "i16", "i32", "single", "double", "text", "buffer"};
  for (uint32_t t = 0; t < std::size(names); ++t)
    if (name == names[t]) return t;
  ADD_FAILURE() << "unknown type " << name;
  return 0;
}

// GetInput of channel serves exactly the number types that read lists.
void ExpectReadTypes(void *h, uint16_t channel, const test::JsonValue &read) {
  std::set<uint32_t> listed;
  for (const auto &t : read.array) listed.insert(TypeCode(t.string));
  for (uint32_t type = ZL_TYPE_BOOL; type <= ZL_TYPE_DOUBLE; ++type) {
    HostValue v{};
    v.type = type;
    std::memset(v.value, 0xA5, sizeof v.value);
    GetInput(h, channel, &v);
    const bool written = v.value[0] != 0xA5 || v.value[1] != 0xA5;
    EXPECT_EQ(written, listed.count(type) == 1) << "channel " << channel << " type " << type;
  }
}

TEST(ChannelMapJson, DemoLineMapSaysWhatTheDriverResolves) {
  ParameterSet set;
  std::string error;
  ASSERT_TRUE(ReadParameterFile(kDemo, set, error)) << error;
  const StationView view = ViewOf(set);

  void *h = MakeDriver();
  char text[256] = "MAP";
  ASSERT_EQ(Init(h, 255, kDemo.c_str(), 0, text, 0), 1) << text;
  const std::string json = Map(h);
  test::JsonValue map;
  ASSERT_TRUE(test::ParseJson(json, map)) << json;

  const auto &stations = map["stations"].array;
  ASSERT_EQ(stations.size(), set.Stations.size());
  const struct {
    const char *Name;
    ChannelKind Kind;
    uint8_t StationConfig::*Count;
  } groups[] = {
      {"bi", ChannelKind::BinaryInput, &StationConfig::NumBinarIn},
      {"bo", ChannelKind::BinaryOutput, &StationConfig::NumBinarOut},
      {"ai", ChannelKind::AnalogInput, &StationConfig::NumAnalogIn},
      {"ct", ChannelKind::Counter, &StationConfig::NumCounterIn},
      {"mo", ChannelKind::MemoryOutput, &StationConfig::NumMemoryOut},
      {"mi", ChannelKind::MemoryInput, &StationConfig::NumMemoryIn},
  };
  std::size_t checked = 0;
  for (std::size_t s = 0; s < stations.size(); ++s) {
    const test::JsonValue &st = stations[s];
    const StationConfig &cfg = set.Stations[s];
    const int number = static_cast<int>(s + 1);
    SCOPED_TRACE("station " + std::to_string(number));
    EXPECT_EQ(st["number"].number, number);
    EXPECT_EQ(st["address"].number, cfg.Address);
    EXPECT_EQ(st["gateway"].string, std::string(cfg.Ip.view()) + ":" + std::to_string(cfg.Port));
    EXPECT_EQ(st["name"].string, Utf8FromCp1250(cfg.Name.view()));

    // Every object of every group is there (the demo line has no overlaps),
    // each on the channel the driver resolves to that object.
    for (const auto &g : groups) {
      std::size_t objects = 0;
      for (const auto &group : st["groups"].array) {
        if (group["group"].string != g.Name) continue;
        for (const auto &o : group["objects"].array) {
          const auto channel = static_cast<uint16_t>(o["channel"].number);
          const StationMatch m = ResolveStationChannel(view, channel);
          EXPECT_EQ(m.StationNo, number) << g.Name << " channel " << channel;
          EXPECT_EQ(m.Kind, g.Kind) << channel;
          EXPECT_EQ(m.Item, o["object"].number) << channel;
          EXPECT_FALSE(FindVariable(view, channel).StationNo);
          ExpectReadTypes(h, channel, o["read"]);
          ++objects;
        }
      }
      EXPECT_EQ(objects, cfg.*g.Count) << g.Name;
      checked += objects;
    }
    std::size_t variables = 0;
    for (const auto &v : st["variables"].array) {
      const auto channel = static_cast<uint16_t>(v["channel"].number);
      const VariableMatch m = FindVariable(view, channel);
      ASSERT_EQ(m.StationNo, number) << channel;
      const QqVariable &q = cfg.QqVariables[m.Position];
      char address[16];
      std::snprintf(address, sizeof address, "%02X.%02X.%02X", q.Address[0], q.Address[1],
                    q.Address[2]);
      EXPECT_EQ(v["address"].string, address);
      ++variables;
    }
    EXPECT_EQ(variables, cfg.QqVariables.size());
    ASSERT_EQ(st["memoryBlocks"].array.size(), cfg.MemoryBlocks.size());
    for (std::size_t b = 0; b < cfg.MemoryBlocks.size(); ++b) {
      const test::JsonValue &block = st["memoryBlocks"][b];
      EXPECT_EQ(block["items"].array.size(), cfg.MemoryBlocks[b].ItemCount());
      for (const auto &item : block["items"].array) {
        const auto channel = static_cast<uint16_t>(item["channel"].number);
        const StationMatch m = ResolveStationChannel(view, channel);
        EXPECT_EQ(m.StationNo, number);
        EXPECT_EQ(m.Kind, ChannelKind::MemoryBlockItem);
        EXPECT_EQ(m.Position, b);
        EXPECT_EQ(m.Item, item["item"].number);
        ExpectReadTypes(h, channel, item["read"]);
      }
    }
    for (const auto &c : st["channels"].array) {
      const auto channel = static_cast<uint16_t>(c["channel"].number);
      const StationMatch m = ResolveStationChannel(view, channel);
      EXPECT_EQ(m.StationNo, number) << c["name"].string;
      if (c["read"].array.empty() || c["read"][0].string != "text")
        ExpectReadTypes(h, channel, c["read"]);
    }
  }
  EXPECT_GT(checked, 100u);

  // Driver and diagnostic channels: GetInput serves them as listed.
  for (const auto &d : map["driverChannels"].array) {
    if (d["read"].array.size() == 1 && d["read"][0].string == "buffer") continue;
    ExpectReadTypes(h, static_cast<uint16_t>(d["first"].number), d["read"]);
    ExpectReadTypes(h, static_cast<uint16_t>(d["last"].number), d["read"]);
  }
  EXPECT_EQ(map["diagnosticChannels"].array.size(), 12u);
  for (const auto &d : map["diagnosticChannels"].array)
    ExpectReadTypes(h, static_cast<uint16_t>(d["channel"].number), d["read"]);
  Done(h);
  DisposeDriver(h);
}

}  // namespace
}  // namespace zl
