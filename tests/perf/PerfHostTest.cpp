// The measuring host of bench/line: what it reports must be the driver's. A
// read through the C entry points reaches the simulator's value, the
// communication thread is the one found and it runs passes, and the order
// statistics are the nearest-rank ones the report claims.
#include <gtest/gtest.h>

#include <vector>

#include "support/PerfHost.h"
#include "support/PerfStats.h"
#include "zlnetdrv.h"

namespace zl::test::perf {
namespace {

TEST(PerfHost, AReadThroughTheEntryPointsBringsTheControllersValue) {
  PerfHostOptions options;
  options.File.Stations = 3;
  options.File.IdleTime = 1;
  PerfHost host(options);
  ASSERT_TRUE(host.Ok()) << host.Error();
  if (HeapInUse() > 0) {  // no figure under a sanitizer's allocator
    EXPECT_GT(host.HeapAdded(), 0);
  }
  ASSERT_NE(host.ThreadId(), 0);
  ASSERT_TRUE(host.Connect(1));

  const auto a = QqAddress(3, 1);  // a WORD of the last station
  host.Sim().Station(3)->SetQqBytes(a[0], a[1], a[2], {0x39, 0x30, 0, 0});
  const uint64_t passes = host.Passes();
  const double cpu = ThreadCpuSeconds(host.ThreadId());
  ::InputRequest(host.Handle(), QqChannel(3, 1));
  EXPECT_TRUE(host.PumpUntil([&] { return host.GetDouble(QqChannel(3, 1)) == 12345.0; }));
  EXPECT_GT(host.Passes(), passes);
  EXPECT_GE(ThreadCpuSeconds(host.ThreadId()), cpu);
  EXPECT_GT(ResidentBytes(), 0);
}

TEST(PerfStats, NearestRankOrderStatistics) {
  struct Case {
    std::vector<double> values;
    Summary want;
  };
  std::vector<double> hundred, twoHundred;
  for (int i = 100; i >= 1; --i) hundred.push_back(i);
  for (int i = 1; i <= 200; ++i) twoHundred.push_back(i);
  const Case cases[] = {
      {{}, {0, 0, 0, 0}},
      {{7}, {7, 7, 7, 7}},
      {{5, 1, 3, 2, 4}, {1, 3, 5, 5}},
      {{4, 1, 3, 2}, {1, 2, 4, 4}},  // the lower middle value
      {hundred, {1, 50, 99, 100}},
      {twoHundred, {1, 100, 198, 200}},
  };
  for (const Case &c : cases) {
    const Summary s = Summarise(c.values);
    EXPECT_EQ(s.Min, c.want.Min);
    EXPECT_EQ(s.Median, c.want.Median);
    EXPECT_EQ(s.P99, c.want.P99);
    EXPECT_EQ(s.Max, c.want.Max);
  }
  EXPECT_EQ(Percentile(twoHundred, 0.9), 180);
}

}  // namespace
}  // namespace zl::test::perf
