// Soak: polls every station of the demonstration line's first gateway for
// the given number of minutes, with every fault of the simulated gateway on
// at a low rate (active messages and echoed frames among them), and prints
// each interval the process's resident memory, its open descriptors and the
// driver's counters. At the end a verdict: memory and descriptors flat
// within the tolerance, no value in a variable that it never held, exactly
// one time-out for each answer the gateway withheld. Exit code 0 only then.
//
//   soak [minutes]     (default 1; fractions allowed: soak 0.5)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/HostSession.h"
#include "support/LineWorkload.h"

namespace {

using namespace zl;
using namespace zl::test;

// Growth of the resident memory tolerated between the first report (the
// driver warmed up) and the last.
constexpr long kMemoryToleranceKiB = 1024;

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

sim::SimOptions Faulty() {
  sim::SimOptions options;
  options.Static = true;
  options.Seed = 5;
  options.Faults.Drop = 0.03;
  options.Faults.Corrupt = 0.03;
  options.Faults.Noise = 0.1;
  options.Faults.DelayMs = 1;
  options.Faults.ErrorEvery = 11;
  options.Faults.ActiveEverySeconds = 5;
  options.Faults.CloseAfter = 1500;
  options.Faults.Echo = true;
  return options;
}

struct Totals {
  uint64_t Answers = 0, Withheld = 0, ErrorItems = 0, Active = 0, Closed = 0, Faults = 0;
};

Totals Simulated(HostSession &s) {
  Totals t;
  for (int n = 1; n <= s.Sim().StationCount(); ++n) {
    const sim::StationStats st = s.Sim().Stats(n);
    t.Answers += st.Answers;
    t.Withheld += st.Dropped + st.Corrupted + st.DeadIgnored;
    t.ErrorItems += st.ErrorItems;
    t.Active += st.ActiveSent;
    t.Faults += st.FaultsInjected() + st.ActiveSent;
  }
  t.Closed = s.Sim().LineStatistics().at(0).ClosedAfter;
  return t;
}

}  // namespace

int main(int argc, char **argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 1.0;
  if (minutes <= 0) {
    std::fprintf(stderr, "usage: soak [minutes]\n");
    return 2;
  }
  const auto length = std::chrono::milliseconds(static_cast<int64_t>(minutes * 60000));
  const auto every = std::chrono::seconds(minutes <= 2 ? 10 : 60);

  HostSession s;
  std::string error;
  if (!s.Start(Faulty(), error)) {
    std::fprintf(stderr, "soak: %s\n", error.c_str());
    return 1;
  }
  LineWorkload work(s);
  int phase = 1;
  work.SetPhase(phase);

  std::printf(
      "soak: %.1f min, faults: drop 3%%, corrupt 3%%, noise 10%%, delay 1 ms, "
      "error item every 11th answer, active message every 5 s, every frame echoed, "
      "connection closed after 1500 answers\n",
      minutes);
  std::printf("%7s %9s %4s %7s %10s %10s %9s %9s %6s %6s\n", "time", "rss KiB", "fds", "rounds",
              "exchanges", "decoded", "timeouts", "withheld", "closed", "wrong");
  const auto start = std::chrono::steady_clock::now();
  auto next = start + every;
  long firstRss = -1, lastRss = 0;
  int firstFds = -1, lastFds = 0;
  bool stalled = false;
  for (;;) {
    const bool connected = work.KeepConnected();
    if (!connected || !work.Round()) {
      std::printf("soak: the driver stopped serving after %llu rounds\n",
                  static_cast<unsigned long long>(work.Rounds()));
      stalled = true;
      break;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < next && now - start < length) continue;
    next += every;
    work.SetPhase(++phase);
    lastRss = ResidentKiB();
    lastFds = OpenDescriptors();
    if (firstRss < 0) {
      firstRss = lastRss;
      firstFds = lastFds;
    }
    const Totals t = Simulated(s);
    std::printf("%6.0fs %9ld %4d %7llu %10.0f %10.0f %9.0f %9llu %6llu %6llu\n",
                std::chrono::duration<double>(now - start).count(), lastRss, lastFds,
                static_cast<unsigned long long>(work.Rounds()), work.StationSum(demo::kMsgCounter),
                s.D(demo::kMessageCount), work.StationSum(demo::kErrorNoAnswer),
                static_cast<unsigned long long>(t.Withheld),
                static_cast<unsigned long long>(t.Closed),
                static_cast<unsigned long long>(work.ValuesWrong()));
    std::fflush(stdout);
    if (now - start >= length) break;
  }

  const Totals t = Simulated(s);
  const double timeouts = work.StationSum(demo::kErrorNoAnswer);
  const long growth = lastRss - firstRss;
  const bool memoryFlat = growth <= kMemoryToleranceKiB;
  const bool fdsFlat = lastFds == firstFds;
  // No other message (an active message, an echo) is ever taken for a
  // request's answer: every withheld answer costs exactly one time-out.
  const bool timeoutsMatch = timeouts == static_cast<double>(t.Withheld);
  std::printf(
      "faults injected %llu, exchanges %.0f, answers decoded %.0f, time-outs %.0f "
      "(withheld %llu), values checked %llu, wrong %llu\n",
      static_cast<unsigned long long>(t.Faults), work.StationSum(demo::kMsgCounter),
      s.D(demo::kMessageCount), timeouts, static_cast<unsigned long long>(t.Withheld),
      static_cast<unsigned long long>(work.ValuesChecked()),
      static_cast<unsigned long long>(work.ValuesWrong()));
  for (const std::string &w : work.Wrong()) std::printf("  wrong: %s\n", w.c_str());
  std::printf(
      "active messages %llu, messages that were not the answer awaited %u, "
      "dropped unread (own frames back) %u\n",
      static_cast<unsigned long long>(t.Active), s.Unpaired(), s.Stray());
  std::printf("memory %ld -> %ld KiB (growth %ld KiB, tolerance %ld), descriptors %d -> %d\n",
              firstRss, lastRss, growth, kMemoryToleranceKiB, firstFds, lastFds);
  const bool pass = !stalled && memoryFlat && fdsFlat && work.ValuesWrong() == 0 && timeoutsMatch;
  std::printf("verdict: %s\n", pass ? "PASS" : "FAIL");
  return pass ? 0 : 1;
}
