// Stations behind different gateways: a station's frames go only over its
// own gateway, and a station reads connected only while its gateway is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/HostSession.h"

namespace zl::test {
namespace {

using demo::Ch;

TEST(OwnGateway, AStationsFramesGoOnlyOverItsOwnGateway) {
  HostSession s;
  sim::SimOptions options;
  options.Static = true;
  std::string error;
  ASSERT_TRUE(s.Start(options, error)) << error;
  // Stations 1 and 2 are behind the first gateway, station 3 the second.
  ASSERT_TRUE(s.Connect(1));
  ASSERT_TRUE(s.Connect(3));
  EXPECT_EQ(s.Bool(Ch(1, demo::kConnected)), 0);
  EXPECT_EQ(s.Bool(Ch(3, demo::kConnected)), 1);

  // Station 1's write and read while the second gateway is connected: they
  // never go out (another controller there may have station 1's address).
  s.Put(Ch(1, demo::kBO), ZL_TYPE_BOOL, 1);
  s.Command(Ch(1, demo::kReadBI));
  s.Command(Ch(3, demo::kReadBI));
  ASSERT_TRUE(s.Settle());
  const std::vector<sim::LineStats> lines = s.Sim().LineStatistics();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].Unaddressed, 0u);
  EXPECT_EQ(s.Sim().Stats(1).Requests, 0u);
  EXPECT_EQ(s.Sim().Stats(3).Requests, 1u);
  EXPECT_FALSE(s.Sim().Station(1)->BinaryOutput(0));
  std::string window(1 << 16, '\0');
  window.resize(static_cast<std::size_t>(GetStatusWindow(s.Handle(), window.data(), 1 << 16)));
  EXPECT_NE(window.find("KOTELNA - požadavek zrušen: stanice je za jinou bránou"),
            std::string::npos);

  // The gateway goes away: its station reads disconnected at once.
  s.Sim().Stop();
  EXPECT_TRUE(s.PumpUntil([&] { return s.Bool(Ch(3, demo::kConnected)) == 0; }, 10000));
  EXPECT_EQ(s.D(demo::kClientConnected), 0.0);
}

}  // namespace
}  // namespace zl::test
