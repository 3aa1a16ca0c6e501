// The driver against the simulated line gateway on loopback, as a host sees
// it through the C entry points, with the 100-station file (PREFIX of two
// bytes, SUFFIX of one, SILENCE_WAIT 0). For IDLE_TIME 10 and 1 it measures:
//   - the time from InputRequest to the new value in GetInput, and the passes
//     of the communication thread it took;
//   - exchanges per second with the read queue kept full, and the passes each
//     exchange takes;
//   - with the gateway at 9600 baud in both directions (the answers paced
//     byte by byte, each answer held back by the time its request's bytes
//     take on the line), the exchanges against the line's own bound;
//   - the thread's own processor time while connected and idle;
// and the memory the driver adds with 100 stations loaded.
//
// It writes a Markdown section on standard output (bench/run.sh puts it into
// bench/RESULTS.md) and its progress on standard error. --quick shortens
// every measurement (a smoke run); --idle-only measures the idle thread alone.
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "port/Thread.h"
#include "support/PerfConfig.h"
#include "support/PerfHost.h"
#include "support/PerfStats.h"
#include "zlnetdrv.h"

namespace zl::bench {
namespace {

using namespace zl::test::perf;
using Clock = std::chrono::steady_clock;

constexpr int kVariable = 1;  // a WORD: the answer's 4 bytes are the value as an integer
constexpr double kIdleCpuTargetPercent = 0.5;
constexpr double kReadMedianTargetMs = 2.0;  // at IDLE_TIME 10
constexpr double kReadP99TargetMs = 10.0;
constexpr double kLineShareTarget = 90.0;  // % of the line's bound at 9600 baud
constexpr int kRequestBytes = 15;          // a single QQ read's frame, PREFIX and SUFFIX included

struct Settings {
  int Samples10 = 100;  // latency samples at IDLE_TIME 10
  int Samples1 = 300;   // at IDLE_TIME 1
  double Window = 5.0;  // seconds of each throughput and idle measurement
};

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Milliseconds the request's bytes take on a line of that baud rate.
double RequestLineMs(int baud) {
  return baud > 0 ? kRequestBytes * 10.0 * 1000.0 / baud : 0.0;
}

PerfHostOptions Options(int idleTime, int baud = 0) {
  PerfHostOptions o;
  o.File.IdleTime = idleTime;
  o.File.SilenceWait = 0;
  o.File.AnswerTime = 5.0;  // a loaded machine must not turn a late answer into a time-out
  o.Faults.Baud = baud;
  // The simulator paces the bytes it sends; the request's own time on the
  // line it stands for comes before the answer, in whole milliseconds.
  o.Faults.DelayMs = static_cast<int>(std::ceil(RequestLineMs(baud)));
  return o;
}

// The host's connection to its gateway; false with the reason told.
bool Connected(PerfHost &host) {
  if (host.Ok() && host.Connect()) return true;
  std::fprintf(stderr, "line: %s\n", host.Ok() ? "no connection" : host.Error().c_str());
  return false;
}

// Dispatches the host's messages for a while.
void PumpFor(PerfHost &host, double ms) {
  const auto end = Clock::now() + std::chrono::microseconds(static_cast<int64_t>(ms * 1000));
  host.PumpUntil([&] { return Clock::now() >= end; }, static_cast<int>(ms) + 1000);
}

// Waits for pred like a host that polls the driver's descriptor, but tests
// pred before dispatching what woke it: the pass that decoded an answer is
// then still waiting for its event line to be shown, so the pass counter
// has not moved on.
bool WaitBeforeDispatch(PerfHost &host, const std::function<bool()> &pred, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const int fd = ::MessageFd(host.Handle());
  for (;;) {
    if (pred()) return true;
    if (Clock::now() >= deadline) return false;
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, 5);
    if (pred()) return true;
    ::PumpMessages(host.Handle(), 0);
  }
}

struct ReadRun {
  int IdleTime = 0;
  std::vector<double> LatencyMs;
  std::vector<double> Passes;
  bool Ok = false;
};

ReadRun MeasureReads(int idleTime, int samples) {
  ReadRun run;
  run.IdleTime = idleTime;
  PerfHost host(Options(idleTime));
  if (!Connected(host)) return run;
  const auto address = QqAddress(1, kVariable);
  const uint16_t channel = QqChannel(1, kVariable);
  sim::ControllerModel &model = *host.Sim().Station(1);
  std::mt19937 rng(7);
  // Two IdleTime periods: the request should meet the sleeping thread at any
  // point of its sleep.
  std::uniform_real_distribution<double> phase(0.0, 2.0 * idleTime);
  for (int i = 1; i <= samples; ++i) {
    // Quiet first: past the pause (up to a tick of the 10 ms clock) and the
    // hunt for the last SUFFIX, then at a random moment.
    PumpFor(host, 15.0 + 3.0 * idleTime + phase(rng));
    const int value = 1000 + i;
    model.SetQqBytes(address[0], address[1], address[2],
                     {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), 0, 0});
    // Between two passes, so that the count starts with the pass the request
    // wakes and not with one already under way.
    while (host.InPass()) std::this_thread::yield();
    const uint64_t p0 = host.Passes();
    const auto t0 = Clock::now();
    ::InputRequest(host.Handle(), channel);
    if (!WaitBeforeDispatch(
            host, [&] { return host.GetDouble(channel) == value; }, 10000)) {
      std::fprintf(stderr, "line: read %d not answered\n", i);
      return run;
    }
    const double latency = Ms(Clock::now() - t0);
    const double passes = static_cast<double>(host.Passes() - p0 + 1);  // the decoding one runs
    run.LatencyMs.push_back(latency);
    run.Passes.push_back(passes);
  }
  run.Ok = true;
  return run;
}

struct FlowRun {
  int IdleTime = 0;
  int Baud = 0;
  double Seconds = 0;
  double Exchanges = 0;
  double Passes = 0;
  double BytesOut = 0;  // gateway to driver
  double BytesIn = 0;   // driver to gateway
  bool Ok = false;
};

sim::LineStats Totals(PerfHost &host) {
  sim::LineStats t;
  for (const sim::LineStats &s : host.Sim().LineStatistics()) {
    t.BytesIn += s.BytesIn;
    t.BytesOut += s.BytesOut;
  }
  return t;
}

// Reads of six variables of every station, queued so that no two neighbours
// belong to one station (nothing merges): one exchange each.
FlowRun MeasureFlow(int idleTime, int baud, double seconds) {
  FlowRun run;
  run.IdleTime = idleTime;
  run.Baud = baud;
  PerfHost host(Options(idleTime, baud));
  if (!Connected(host)) return run;
  for (int v = 0; v < 6; ++v) {
    for (int n = 1; n <= 100; ++n) ::InputRequest(host.Handle(), QqChannel(n, v));
  }
  PumpFor(host, 300);  // the first exchanges, and the queue's first merge pass
  const double m0 = host.GetDouble(498);
  const uint64_t p0 = host.Passes();
  const sim::LineStats s0 = Totals(host);
  const auto t0 = Clock::now();
  PumpFor(host, seconds * 1000);
  run.Seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  run.Exchanges = host.GetDouble(498) - m0;
  run.Passes = static_cast<double>(host.Passes() - p0);
  const sim::LineStats s1 = Totals(host);
  run.BytesOut = static_cast<double>(s1.BytesOut - s0.BytesOut);
  run.BytesIn = static_cast<double>(s1.BytesIn - s0.BytesIn);
  run.Ok = host.GetDouble(490) > 0;  // the queue never ran dry
  if (!run.Ok) std::fprintf(stderr, "line: the queue ran dry\n");
  return run;
}

struct IdleRun {
  int IdleTime = 0;
  std::vector<double> CpuPercent;  // one per window
  double PassesPerSecond = 0;
  std::vector<double> BareCpuPercent;  // a thread that only sleeps IdleTime, per window
};

// What any thread costs here that sleeps IdleTime and wakes up again, with no
// work at all: the floor under the driver's figure on this machine.
class BareSleeper : public Thread {
 public:
  BareSleeper(int ms) : Thread(nullptr), ms_(ms) {}
  ~BareSleeper() override { Stop(); }
  pid_t Tid() const { return tid_.load(); }

 protected:
  void Execute() override {
    tid_.store(static_cast<pid_t>(::syscall(SYS_gettid)));
    while (!Terminated()) Sleep(ms_);
  }

 private:
  const int ms_;
  std::atomic<pid_t> tid_{0};
};

// Processor time of thread tid in windows of the given length, in % of a core.
std::vector<double> CpuWindows(pid_t tid, int windows, double windowMs,
                               const std::function<void(double)> &wait) {
  std::vector<double> percent;
  for (int w = 0; w < windows; ++w) {
    const double c0 = ThreadCpuSeconds(tid);
    const auto t0 = Clock::now();
    wait(windowMs);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double c1 = ThreadCpuSeconds(tid);
    if (c0 >= 0 && c1 >= 0) percent.push_back(100.0 * (c1 - c0) / wall);
  }
  return percent;
}

struct Memory {
  long ResidentAdded = 0;
  long HeapAdded = 0;
};

// The first driver of the process, so that no memory freed by an earlier one
// can take its allocations.
Memory MeasureMemory() {
  PerfHost host(Options(10));
  return {host.ResidentAdded(), host.HeapAdded()};
}

// The thread's processor time over windows of a second: their median, so
// that a burst of the machine's other load does not decide the figure.
IdleRun MeasureIdle(int idleTime, double seconds) {
  IdleRun run;
  run.IdleTime = idleTime;
  PerfHost host(Options(idleTime));
  if (!Connected(host) || host.ThreadId() == 0) return run;
  PumpFor(host, 200);
  const int windows = std::max(2, static_cast<int>(seconds));
  const double windowMs = 1000.0 * seconds / windows;
  const uint64_t p0 = host.Passes();
  const auto start = Clock::now();
  run.CpuPercent =
      CpuWindows(host.ThreadId(), windows, windowMs, [&host](double ms) { PumpFor(host, ms); });
  run.PassesPerSecond = static_cast<double>(host.Passes() - p0) /
                        std::chrono::duration<double>(Clock::now() - start).count();

  BareSleeper bare(idleTime);
  bare.Resume();
  while (bare.Tid() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  run.BareCpuPercent =
      CpuWindows(bare.Tid(), windows, windowMs, [&host](double ms) { PumpFor(host, ms); });
  return run;
}

// --- report

std::string Fixed(double x, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, x);
  return text;
}

const char *Verdict(bool met) {
  return met ? "met" : "**missed**";
}

void PrintReads(const std::vector<ReadRun> &runs) {
  std::printf("### Time from InputRequest to the new value in GetInput\n\n");
  std::printf(
      "One QQ read at a time, each at a random moment after the line has gone quiet, timed "
      "from InputRequest until GetInput shows the new value (the host pumps its messages "
      "meanwhile, as it must for the gateway's bytes to come in). Passes: those the "
      "communication thread ran from the InputRequest to the one that decoded the "
      "answer.\n\n");
  std::printf(
      "| IDLE_TIME | samples | median ms | p99 ms | min-max ms | passes (min / median / max) | "
      "target | verdict |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (const ReadRun &r : runs) {
    const bool hasTarget = r.IdleTime == 10;
    const std::string target = hasTarget ? "median <= 2, p99 <= 10" : "-";
    if (!r.Ok) {
      std::printf("| %d | - | not measured | | | | %s | %s |\n", r.IdleTime, target.c_str(),
                  hasTarget ? "**missed**" : "-");
      continue;
    }
    const Summary lat = Summarise(r.LatencyMs), passes = Summarise(r.Passes);
    const bool met = lat.Median <= kReadMedianTargetMs && lat.P99 <= kReadP99TargetMs;
    std::printf("| %d | %zu | %s | %s | %s-%s | %s / %s / %s | %s | %s |\n", r.IdleTime,
                r.LatencyMs.size(), Fixed(lat.Median, 2).c_str(), Fixed(lat.P99, 2).c_str(),
                Fixed(lat.Min, 2).c_str(), Fixed(lat.Max, 2).c_str(), Fixed(passes.Min, 0).c_str(),
                Fixed(passes.Median, 0).c_str(), Fixed(passes.Max, 0).c_str(), target.c_str(),
                hasTarget ? Verdict(met) : "for information");
  }
  std::printf("\n");
}

void PrintFlows(const std::vector<FlowRun> &runs) {
  std::printf("### Exchanges per second, and the share of the line's bound at 9600 baud\n\n");
  std::printf(
      "600 single reads queued (six variables of every station, neighbours of different "
      "stations, so nothing merges), measured while the queue stays full. At 9600 baud the "
      "simulator sends its answers at 10 bits a byte and holds each back by the time its "
      "request's %d bytes take on the line (%s ms, rounded up to whole milliseconds). The "
      "line's bound is one exchange per (request + answer bytes) x 10 / baud plus the pause "
      "as the driver's clock measures it: SILENCE_WAIT 0 lasts until its 10 ms clock next "
      "moves, so exchanges that start as a pause ends take whole steps of that clock (the "
      "verdict's bound, target 90 %%); beside it, the bytes alone with a pause of 5 ms (half "
      "a step, the mean for an answer that ends at a random moment), a stricter bound that "
      "back-to-back exchanges keeping the pause on that clock cannot reach.\n\n",
      kRequestBytes, Fixed(RequestLineMs(9600), 3).c_str());
  std::printf(
      "| IDLE_TIME | gateway | exchanges/s | passes per exchange | ms per exchange | bytes per "
      "exchange (answer / request) | bound/s (clock steps) | share | bound/s (bytes + 5 ms) | "
      "share | verdict |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (const FlowRun &r : runs) {
    if (!r.Ok || r.Exchanges <= 0) {
      std::printf("| %d | %s | not measured | | | | | | | | |\n", r.IdleTime,
                  r.Baud ? "9600 baud" : "loopback");
      continue;
    }
    const double perSecond = r.Exchanges / r.Seconds;
    std::string stepBound = "-", stepShare = "-", plainBound = "-", plainShare = "-",
                verdict = "for information";
    if (r.Baud > 0) {
      const double bytesMs =
          (r.BytesOut + r.BytesIn) / r.Exchanges * 10.0 * 1000.0 / static_cast<double>(r.Baud);
      const double stepPerSecond = 1000.0 / (10.0 * std::ceil(bytesMs / 10.0));
      const double plainPerSecond = 1000.0 / (bytesMs + 5.0);
      stepBound = Fixed(stepPerSecond, 1);
      stepShare = Fixed(100.0 * perSecond / stepPerSecond, 1) + " %";
      plainBound = Fixed(plainPerSecond, 1);
      plainShare = Fixed(100.0 * perSecond / plainPerSecond, 1) + " %";
      if (r.IdleTime == 10)
        verdict = Verdict(100.0 * perSecond / stepPerSecond >= kLineShareTarget);
    }
    std::printf("| %d | %s | %s | %s | %s | %s / %s | %s | %s | %s | %s | %s |\n", r.IdleTime,
                r.Baud ? "9600 baud" : "loopback", Fixed(perSecond, 1).c_str(),
                Fixed(r.Passes / r.Exchanges, 2).c_str(), Fixed(1000.0 / perSecond, 2).c_str(),
                Fixed(r.BytesOut / r.Exchanges, 1).c_str(),
                Fixed(r.BytesIn / r.Exchanges, 1).c_str(), stepBound.c_str(), stepShare.c_str(),
                plainBound.c_str(), plainShare.c_str(), verdict.c_str());
  }
  std::printf("\n");
}

void PrintIdle(const std::vector<IdleRun> &runs, const Memory &memory) {
  std::printf("### The communication thread's own cost, and the driver's memory\n\n");
  std::printf(
      "Processor time of the communication thread (from /proc/self/task/<tid>/schedstat) "
      "while connected with nothing to do, per second of wall time, in %% of one core, over "
      "windows of a second; beside it, the same for a thread that does nothing but sleep "
      "IdleTime and wake up (the platform's thread of this driver, with an empty loop): what "
      "the system charges for the wake-ups alone.\n\n");
  std::printf(
      "| IDLE_TIME | passes/s | CPU %% of one core (median of windows) | min-max | per pass "
      "| a bare sleeping thread | the driver's own | target | verdict |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|\n");
  for (const IdleRun &r : runs) {
    const bool hasTarget = r.IdleTime == 10;
    if (r.CpuPercent.empty()) {
      std::printf("| %d | - | not measured | | | | | %s | %s |\n", r.IdleTime,
                  hasTarget ? "< 0.5 %" : "-", hasTarget ? "**missed**" : "-");
      continue;
    }
    const Summary cpu = Summarise(r.CpuPercent);
    const double perPassUs =
        r.PassesPerSecond > 0 ? cpu.Median / 100.0 / r.PassesPerSecond * 1e6 : 0.0;
    std::string bare = "-", own = "-";
    if (!r.BareCpuPercent.empty()) {
      const double floor = Summarise(r.BareCpuPercent).Median;
      bare = Fixed(floor, 3) + " %";
      own = Fixed(cpu.Median - floor, 3) + " %";
    }
    std::printf("| %d | %s | %s | %s-%s | %s us | %s | %s | %s | %s |\n", r.IdleTime,
                Fixed(r.PassesPerSecond, 1).c_str(), Fixed(cpu.Median, 3).c_str(),
                Fixed(cpu.Min, 3).c_str(), Fixed(cpu.Max, 3).c_str(), Fixed(perPassUs, 1).c_str(),
                bare.c_str(), own.c_str(), hasTarget ? "< 0.5 %" : "-",
                hasTarget ? Verdict(cpu.Median < kIdleCpuTargetPercent) : "for information");
  }
  std::printf(
      "\nMemory added by MakeDriver and Init with the 100-station file (the first driver of "
      "the process): resident %s KiB, heap in use %s KiB.\n\n",
      Fixed(static_cast<double>(memory.ResidentAdded) / 1024.0, 0).c_str(),
      Fixed(static_cast<double>(memory.HeapAdded) / 1024.0, 0).c_str());
}

}  // namespace
}  // namespace zl::bench

int main(int argc, char **argv) {
  using namespace zl::bench;
  Settings s;
  bool idleOnly = false;  // --idle-only: the idle thread's cost alone, to repeat it
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      s.Samples10 = 10;
      s.Samples1 = 20;
      s.Window = 1.0;
    }
    if (std::strcmp(argv[i], "--idle-only") == 0) idleOnly = true;
  }
  if (idleOnly) {
    std::vector<IdleRun> idle{MeasureIdle(10, s.Window), MeasureIdle(1, s.Window)};
    PrintIdle(idle, Memory{});
    return 0;
  }
  std::fprintf(stderr, "line: memory of 100 stations\n");
  const Memory memory = MeasureMemory();
  std::fprintf(stderr, "line: reads at IDLE_TIME 10\n");
  std::vector<ReadRun> reads{MeasureReads(10, s.Samples10)};
  std::fprintf(stderr, "line: reads at IDLE_TIME 1\n");
  reads.push_back(MeasureReads(1, s.Samples1));
  std::vector<FlowRun> flows;
  for (int baud : {0, 9600}) {
    for (int idle : {10, 1}) {
      std::fprintf(stderr, "line: exchanges at IDLE_TIME %d, %s\n", idle,
                   baud ? "9600 baud" : "loopback");
      flows.push_back(MeasureFlow(idle, baud, s.Window));
    }
  }
  std::vector<IdleRun> idle;
  for (int idleTime : {10, 1}) {
    std::fprintf(stderr, "line: idle at IDLE_TIME %d\n", idleTime);
    idle.push_back(MeasureIdle(idleTime, s.Window));
  }
  PrintReads(reads);
  PrintFlows(flows);
  PrintIdle(idle, memory);
  bool ok = true;
  for (const ReadRun &r : reads) ok = ok && r.Ok;
  for (const FlowRun &f : flows) ok = ok && f.Ok;
  return ok ? 0 : 1;
}
