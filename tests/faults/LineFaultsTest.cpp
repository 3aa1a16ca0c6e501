// The driver on a faulty line: every fault the simulated gateway can inject,
// one at a time and all together. Through it all the driver keeps serving,
// counts exactly one time-out for each answer the gateway withheld, takes
// no other message (an active message, a late answer, an echo of its own
// frame) for a request's answer, reports in each variable only values that
// variable held, and once the faults stop, one round brings every value up
// to date.
#include <gtest/gtest.h>

#include "support/HostSession.h"
#include "support/LineWorkload.h"

namespace zl::test {
namespace {

using demo::Ch;

struct FaultCase {
  const char *Name;
  sim::FaultOptions Faults;
  int Rounds;
};

sim::FaultOptions With(const std::function<void(sim::FaultOptions &)> &set) {
  sim::FaultOptions f;
  set(f);
  return f;
}

sim::FaultOptions Everything() {
  return With([](sim::FaultOptions &f) {
    f.Drop = 0.1;
    f.Corrupt = 0.1;
    f.Noise = 0.3;
    f.Split = true;
    f.DelayMs = 2;
    f.Baud = 115200;
    f.ErrorEvery = 5;
    f.ActiveEverySeconds = 0.2;
    f.CloseAfter = 40;
    f.Echo = true;
    f.Late = 0.05;
  });
}

const FaultCase kCases[] = {
    {"Drop", With([](auto &f) { f.Drop = 0.25; }), 6},
    {"Corrupt", With([](auto &f) { f.Corrupt = 0.25; }), 6},
    {"Noise", With([](auto &f) { f.Noise = 0.7; }), 4},
    {"Split", With([](auto &f) { f.Split = true; }), 3},
    {"Delay", With([](auto &f) { f.DelayMs = 15; }), 3},
    {"Baud", With([](auto &f) { f.Baud = 19200; }), 3},
    {"ErrorEvery", With([](auto &f) { f.ErrorEvery = 3; }), 4},
    {"ActiveEvery", With([](auto &f) { f.ActiveEverySeconds = 0.2; }), 6},
    {"CloseAfter", With([](auto &f) { f.CloseAfter = 12; }), 6},
    {"Echo", With([](auto &f) { f.Echo = true; }), 3},
    {"Late", With([](auto &f) { f.Late = 0.2; }), 6},
    {"Everything", Everything(), 10},
};

class LineFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(LineFaults, TheDriverKeepsServingCountsExactlyAndReportsOnlySentValues) {
  const FaultCase &c = GetParam();
  HostSession s;
  sim::SimOptions options;
  options.Static = true;
  options.Seed = 11;
  options.Faults = c.Faults;
  std::string error;
  ASSERT_TRUE(s.Start(options, error)) << error;
  LineWorkload work(s);
  work.SetPhase(1);
  for (int r = 0; r < c.Rounds; ++r) {
    if (r == c.Rounds / 2) work.SetPhase(2);
    ASSERT_TRUE(work.KeepConnected()) << "round " << r;
    ASSERT_TRUE(work.Round()) << "round " << r;
  }

  // The faults stop: once the line is quiet, a round brings everything up to
  // date (two when the connection had just closed).
  s.Sim().SetFaults({});
  ASSERT_TRUE(s.Quiesce());
  for (int r = 0; r < 3 && (r == 0 || !work.Stale().empty() || !work.OutputsReached()); ++r) {
    ASSERT_TRUE(work.KeepConnected());
    ASSERT_TRUE(work.Round());
  }
  EXPECT_EQ(work.Stale(), std::vector<std::string>{});
  EXPECT_EQ(work.Wrong(), std::vector<std::string>{});
  EXPECT_TRUE(work.OutputsReached());

  sim::StationStats total;
  for (int n = 1; n <= 3; ++n) {
    const sim::StationStats st = s.Sim().Stats(n);
    total.Answers += st.Answers;
    total.ErrorItems += st.ErrorItems;
    total.ActiveSent += st.ActiveSent;
    total.BadAcks += st.BadAcks;
  }
  // Every answer the gateway withheld (dropped, spoilt, or sent only after
  // the next request) costs its request exactly one time-out: a message that
  // is not the waiting request's answer never ends the wait. A late answer
  // is the one exception it cannot tell: it answers the same question as the
  // retry of its request, and may be taken for the retry's answer; the
  // retry's own answer then answers the same question once more, and when
  // that question is asked again and its answer withheld, nothing times out.
  const double timeouts = work.StationSum(demo::kErrorNoAnswer);
  const auto withheld = static_cast<double>(s.Withheld());
  uint64_t late = 0;
  for (int n = 1; n <= 3; ++n) late += s.Sim().Stats(n).Late;
  if (late > 0 && (c.Faults.Drop > 0 || c.Faults.Corrupt > 0)) {
    EXPECT_LE(timeouts, withheld);
    EXPECT_GE(timeouts + static_cast<double>(late), withheld);
  } else {
    EXPECT_EQ(timeouts, withheld);
  }
  const double errorItems = work.StationSum(demo::kErrorInMess);
  if (c.Faults.CloseAfter == 0 && c.Faults.Corrupt == 0 && c.Faults.Late == 0) {
    EXPECT_EQ(errorItems, static_cast<double>(total.ErrorItems));
  } else {
    EXPECT_LE(errorItems, static_cast<double>(total.ErrorItems));
  }
  EXPECT_EQ(total.BadAcks, 0u);
  // Every active message is acknowledged, unless a closed connection or a
  // time-out (which throws away what was received) took it.
  auto acks = [&] {
    uint64_t n = 0;
    for (int k = 1; k <= 3; ++k) n += s.Sim().Stats(k).Acks;
    return n;
  };
  if (c.Faults.CloseAfter == 0 && c.Faults.Drop == 0 && c.Faults.Corrupt == 0) {
    EXPECT_TRUE(s.PumpUntil([&] { return acks() == total.ActiveSent; }, 10000))
        << acks() << " of " << total.ActiveSent;
  } else {
    EXPECT_LE(acks(), total.ActiveSent);
  }
  // The gateway's echoes of the driver's own frames are all dropped.
  auto echoed = [&] { return s.Sim().LineStatistics().at(0).Echoed; };
  if (c.Faults.CloseAfter == 0 && c.Faults.Drop == 0 && c.Faults.Corrupt == 0) {
    EXPECT_TRUE(s.PumpUntil([&] { return s.Stray() == echoed(); }, 10000))
        << s.Stray() << " of " << echoed();
  } else {
    EXPECT_LE(s.Stray(), echoed());
  }
  if (c.Faults.Echo || c.Faults.Late > 0 || c.Faults.ActiveEverySeconds > 0) {
    EXPECT_GT(s.Stray() + s.Unpaired(), 0u);
  } else {
    EXPECT_EQ(s.Stray() + s.Unpaired(), 0u);
  }
  if (c.Faults.CloseAfter > 0) {
    EXPECT_GT(s.Sim().LineStatistics().at(0).ClosedAfter, 0u);
  }
  RecordProperty("unpaired", std::to_string(s.Unpaired()));
  RecordProperty("stray", std::to_string(s.Stray()));
  RecordProperty("timeouts", std::to_string(timeouts));
  RecordProperty("answers", std::to_string(total.Answers));
}

INSTANTIATE_TEST_SUITE_P(EachFaultAndAll, LineFaults, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace zl::test
