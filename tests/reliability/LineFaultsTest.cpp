// The driver on a faulty line: every fault the simulated gateway can inject,
// one at a time and all together. Through it all the driver keeps serving,
// counts exactly one time-out for each answer the gateway withheld, reports
// only values the controllers held, and once the faults stop, one round
// brings every value up to date.
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
  std::vector<std::string> stale = work.Stale();
  if (s.Sim().Stats(1).ActiveSent + s.Sim().Stats(2).ActiveSent > 0) {
    // An active message that comes while a request is in flight is taken
    // for its answer, and the answers after it meet later requests' frames:
    // a QQ read's values then miss their variables (they never land in the
    // wrong ones) until the line is next idle or times out. Every other
    // group is decoded by its content and must be up to date.
    std::erase_if(stale, [](const std::string &line) {
      return line.find("channel 25") == 0 || line.find("channel 26") == 0;
    });
  }
  EXPECT_EQ(stale, std::vector<std::string>{});
  EXPECT_EQ(work.Wrong(), std::vector<std::string>{});
  EXPECT_TRUE(work.OutputsReached());

  sim::StationStats total;
  for (int n = 1; n <= 3; ++n) {
    const sim::StationStats st = s.Sim().Stats(n);
    total.Answers += st.Answers;
    total.Dropped += st.Dropped;
    total.Corrupted += st.Corrupted;
    total.ErrorItems += st.ErrorItems;
    total.ActiveSent += st.ActiveSent;
    total.Acks += st.Acks;
    total.BadAcks += st.BadAcks;
  }
  const double timeouts = work.StationSum(demo::kErrorNoAnswer);
  const auto withheld = static_cast<double>(s.Withheld());
  if (total.ActiveSent == 0) {
    EXPECT_EQ(timeouts, withheld);
  } else {
    // An active message taken for the answer in flight shifts the answers
    // by one until the next time-out: a withheld answer may then cost the
    // next request its time-out instead, or nothing.
    EXPECT_LE(timeouts, withheld);
    EXPECT_GE(timeouts + static_cast<double>(total.ActiveSent), withheld);
  }
  const double errorItems = work.StationSum(demo::kErrorInMess);
  if (c.Faults.CloseAfter == 0 && c.Faults.Corrupt == 0) {
    EXPECT_EQ(errorItems, static_cast<double>(total.ErrorItems));
  } else {
    EXPECT_LE(errorItems, static_cast<double>(total.ErrorItems));
  }
  EXPECT_EQ(total.BadAcks, 0u);
  if (total.ActiveSent > 0) {
    EXPECT_GE(total.Acks + 2, total.ActiveSent);
  }
  if (c.Faults.CloseAfter > 0) {
    EXPECT_GT(s.Sim().LineStatistics().at(0).ClosedAfter, 0u);
  }
  RecordProperty("timeouts", std::to_string(timeouts));
  RecordProperty("answers", std::to_string(total.Answers));
}

INSTANTIATE_TEST_SUITE_P(EachFaultAndAll, LineFaults, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace zl::test
