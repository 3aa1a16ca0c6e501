// zlbridge serving 100 stations behind one gateway (the simulator in this
// process, on loopback), publishing to a mosquitto broker on loopback, and a
// subscriber that receives everything. It measures:
//   - messages per second: the values the bridge publishes while the
//     controllers' values move, with the line's exchanges per second beside;
//   - the time from a binary input changing in a controller to its record
//     arriving at the subscriber (median, 99th percentile), ten stations at a
//     time.
// It writes a Markdown section on standard output (bench/run.sh puts it into
// bench/RESULTS.md) and its progress on standard error. --quick shortens
// every measurement (a smoke run).
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Broker.h"
#include "support/PerfStats.h"
#include "zlsim/Simulator.h"

namespace zl::bench {
namespace {

using namespace zl::test;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

constexpr int kStations = 100;
constexpr int kInputs = 16;  // binary inputs of each station
constexpr int kAnalogs = 8;  // analog inputs
constexpr int kChangesPerRound = 10;

struct Settings {
  double Warmup = 5.0;    // seconds before the throughput window
  double Window = 20.0;   // seconds of the throughput window
  int Rounds = 10;        // latency rounds of kChangesPerRound changes
  double Interval = 1.0;  // the bridge's --interval
};

// 100 stations behind one gateway, 16 binary inputs, 8 binary outputs and 8
// analog inputs each, no pause after an answer, the thread's pass every ms.
// Parameter files end their lines with CR LF.
std::string HundredStations() {
  std::string text =
      "[GLOBAL]\n  PREFIX $02$02\n  SUFFIX $0D\n  PRESUFFIX NONE\n  ADDRESS 0\n"
      "  ANSWER_TIME 2.5\n  SILENCE_WAIT 0\n  IDLE_TIME 1\n  DEF_ANALOG_IN_ADDR 40\nEND\n";
  for (int n = 1; n <= kStations; ++n) {
    char station[700];
    std::snprintf(station, sizeof station,
                  "[STATION]\n  ADDRESS %d\n  RETRANSLATION 0\n  NAME \"S%03d\"\n"
                  "  IP \"127.0.0.1\"\n  PORT 4001\n  NUM_BINAR_IN %d\n  NUM_BINAR_OUT 8\n"
                  "  NUM_ANALOG_IN %d\n  NUM_COUNTER_IN 0\n  NUM_MEMORY_IN 0\n"
                  "  NUM_MEMORY_OUT 0\n  BINAR_IN_XOR NONE\n  BINAR_OUT_XOR NONE\n"
                  "  DEF_ANALOG_IN_ADDR FROM_GLOBAL\n  DEF_MEMORY_IN NONE\n"
                  "  DEF_MEMORY_OUT NONE\n  DEF_COUNTER_IN NONE\n  ORIGINAL_CHANNELS\nEND\n",
                  n, n, kInputs, kAnalogs);
    text += station;
  }
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

bool IsValue(const std::string &topic) {
  return topic.find("/bi/") != std::string::npos || topic.find("/ai/") != std::string::npos ||
         topic.find("/bo/") != std::string::npos;
}

struct Result {
  bool Ok = false;
  double Messages = 0, Values = 0, Exchanges = 0, Seconds = 0;
  double Load1 = 0;
  std::vector<double> LatencyMs;
  int Missed = 0;
};

double LoadAverage() {
  double one = 0;
  if (std::FILE *f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &one) != 1) one = 0;
    std::fclose(f);
  }
  return one;
}

Result Run(const Settings &s) {
  Result r;
  TempDir dir;
  sim::SimOptions options;
  options.Ephemeral = true;
  options.Seed = 7;
  std::string error;
  const std::string text = HundredStations();
  auto sim = sim::Simulator::FromParameterFile(dir.Write("sim.par", text), options, error);
  if (!sim || !sim->Start(error)) {
    std::fprintf(stderr, "bridge: the simulator: %s\n", error.c_str());
    return r;
  }
  const std::string par = dir.Write("line.par", sim::RewriteEndpoints(text, sim->Mappings()));
  Broker broker(dir, ZL_MOSQUITTO_PROGRAM);
  Subscriber sub;
  if (!broker.Start() || !sub.Start(broker.Port(), "zlnetdrv/bench/#") ||
      !sub.WaitFor([&] { return sub.Connects > 0; })) {
    std::fprintf(stderr, "bridge: mosquitto did not start\n");
    return r;
  }
  uint64_t messages = 0, values = 0;
  std::map<std::string, Clock::time_point> arrived;  // topic: when its last record came
  sub.OnMessage = [&](const std::string &topic, const std::string &) {
    ++messages;
    if (IsValue(topic)) {
      ++values;
      arrived[topic] = Clock::now();
    }
  };
  char interval[32];
  std::snprintf(interval, sizeof interval, "%g", s.Interval);
  ChildProcess bridge(
      ZLBRIDGE_PROGRAM,
      {par, "--broker", "127.0.0.1", "--port", std::to_string(broker.Port()), "--line", "bench",
       "--interval", interval},
      {"ZLNETDRV_LIBRARY=" ZLNETDRV_LIBRARY_FILE, "ZLNETDRV_DRIVE_C=" + dir.path()});

  // Every station's inputs arrive once, then the window.
  auto topic = [](int n, const char *group, int k) {
    char t[64];
    std::snprintf(t, sizeof t, "zlnetdrv/bench/S%03d/%s/%d", n, group, k);
    return std::string(t);
  };
  const bool all = sub.WaitFor(
      [&] {
        for (int n = 1; n <= kStations; ++n)
          if (!sub.Last.count(topic(n, "bi", kInputs)) || !sub.Last.count(topic(n, "ai", 1)))
            return false;
        return true;
      },
      120);
  if (!all) {
    std::fprintf(stderr, "bridge: not every station arrived\n");
    return r;
  }
  std::fprintf(stderr, "bridge: every station arrived; throughput\n");
  sub.WaitFor([] { return false; }, s.Warmup);
  auto requests = [&] {
    uint64_t total = 0;
    for (int n = 1; n <= kStations; ++n) total += sim->Stats(n).Requests;
    return total;
  };
  r.Load1 = LoadAverage();
  const uint64_t m0 = messages, v0 = values, q0 = requests();
  const auto t0 = Clock::now();
  sub.WaitFor([] { return false; }, s.Window);
  r.Seconds = Seconds(Clock::now() - t0);
  r.Messages = (messages - m0) / r.Seconds;
  r.Values = (values - v0) / r.Seconds;
  r.Exchanges = (requests() - q0) / r.Seconds;

  // Latency: the values stand still; a binary input of ten stations at a time
  // changes, and its record is awaited.
  std::fprintf(stderr, "bridge: latency\n");
  sim->SetFrozen(true);
  sub.WaitFor([] { return false; }, 3 * s.Interval);  // what was under way arrives
  std::mt19937 rng(5);
  for (int round = 0; round < s.Rounds; ++round) {
    std::vector<int> stations(kStations);
    for (int n = 0; n < kStations; ++n) stations[n] = n + 1;
    std::shuffle(stations.begin(), stations.end(), rng);
    stations.resize(kChangesPerRound);
    std::vector<std::string> topics;
    std::vector<Json> expected;
    const auto changed = Clock::now();
    for (int n : stations) {
      const int k = static_cast<int>(rng() % kInputs) + 1;
      sim::ControllerModel &c = *sim->Station(n);
      const bool on = !c.BinaryInput(k - 1);
      c.SetBinaryInput(k - 1, on);
      topics.push_back(topic(n, "bi", k));
      expected.push_back(on);
    }
    std::vector<bool> seen(topics.size(), false);
    sub.WaitFor(
        [&] {
          bool done = true;
          for (std::size_t i = 0; i < topics.size(); ++i) {
            if (!seen[i]) {
              const Json rec = Json::parse(sub.Last[topics[i]], nullptr, false);
              if (rec.is_object() && rec["value"] == expected[i]) {
                seen[i] = true;
                r.LatencyMs.push_back(
                    std::chrono::duration<double, std::milli>(arrived[topics[i]] - changed)
                        .count());
              }
            }
            done = done && seen[i];
          }
          return done;
        },
        60);
    for (bool b : seen) r.Missed += b ? 0 : 1;
  }
  bridge.Signal(SIGTERM);
  bridge.Wait(60);
  broker.Stop();
  sim->Stop();
  r.Ok = r.Missed == 0;
  return r;
}

void Print(const Result &r, const Settings &s) {
  const perf::Summary l = perf::Summarise(r.LatencyMs);
  std::printf(
      "100 stations behind one gateway (16 binary inputs, 8 binary outputs, 8 analog\n"
      "inputs each; IDLE_TIME 1, SILENCE_WAIT 0), zlbridge --interval %g, mosquitto and\n"
      "the subscriber on loopback, QoS 1. Load average %.2f at the window's start.\n\n",
      s.Interval, r.Load1);
  std::printf("| figure | value |\n|---|---|\n");
  std::printf("| MQTT messages received per second (values moving) | %.0f |\n", r.Messages);
  std::printf("| of them value records | %.0f |\n", r.Values);
  std::printf("| line exchanges per second | %.0f |\n", r.Exchanges);
  std::printf("| window | %.1f s |\n", r.Seconds);
  std::printf("| value change to MQTT message, median | %.0f ms |\n", l.Median);
  std::printf("| value change to MQTT message, 99th percentile | %.0f ms |\n", l.P99);
  std::printf("| value change to MQTT message, min-max | %.0f-%.0f ms |\n", l.Min, l.Max);
  std::printf("| changes measured (missed) | %zu (%d) |\n\n", r.LatencyMs.size(), r.Missed);
}

}  // namespace
}  // namespace zl::bench

int main(int argc, char **argv) {
  using namespace zl::bench;
  Settings s;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      s.Warmup = 1;
      s.Window = 5;
      s.Rounds = 2;
    }
  }
  const Result r = Run(s);
  Print(r, s);
  return r.Ok ? 0 : 1;
}
