// GetInput on a large configuration: 100 stations with ORIGINAL_CHANNELS and
// 6000 QQ variables (60 a station). Each read should cost the same, well
// under 100 ns, whichever station or variable it names: the channel map
// answers in one table read. The literal scans are measured beside it for
// contrast.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "exchange/ChannelMap.h"
#include "exchange/InputPath.h"
#include "support/ConfigFixture.h"

namespace zl {
namespace {

constexpr uint16_t kFirstVariableChannel = 50000;
constexpr int kVariablesPerStation = 60;
constexpr uint16_t kLastStationAnalogInput1 = 99 * 500 + 193;
constexpr uint16_t kLastVariableChannel = kFirstVariableChannel + 100 * kVariablesPerStation - 1;

std::string LargeConfiguration() {
  std::string text = test::GlobalSection();
  for (int n = 1; n <= 100; ++n) {
    std::string extra =
        "NUM_BINAR_IN 96\nNUM_BINAR_OUT 96\nNUM_ANALOG_IN 64\nNUM_COUNTER_IN 48\n"
        "NUM_MEMORY_IN 45\nNUM_MEMORY_OUT 100\nORIGINAL_CHANNELS\n";
    for (int v = 0; v < kVariablesPerStation; ++v) {
      const int channel = kFirstVariableChannel + (n - 1) * kVariablesPerStation + v;
      extra += "QQ READ " + std::to_string(channel) + " 0 " + std::to_string(n) + " " +
               std::to_string(v) + " REAL\n";
    }
    text += test::StationSection(extra, n);
  }
  return text;
}

struct Loaded {
  Loaded() {
    di.Services = &services;
    std::string error;
    if (!test::LoadConfigText(di, LargeConfiguration(), &error)) {
      std::fprintf(stderr, "configuration not loaded: %s\n", error.c_str());
      std::abort();
    }
    di.Channels = BuildChannelIndex(di);
  }
  test::FakeServices services;
  DriverInstance di;
};

Loaded &Driver() {
  static Loaded loaded;
  return loaded;
}

void Read(benchmark::State &state, uint16_t channel, uint32_t type) {
  DriverInstance &di = Driver().di;
  HostValue value{type, {}};
  for (auto _ : state) {
    GetInput(di, channel, value);
    benchmark::DoNotOptimize(value);
  }
}

void BM_GetInputLastStationChannel(benchmark::State &state) {
  Read(state, kLastStationAnalogInput1, ZL_TYPE_DOUBLE);
}
void BM_GetInputVariableAmong6000(benchmark::State &state) {
  Read(state, kLastVariableChannel, ZL_TYPE_DOUBLE);
}
void BM_GetInputDiagnosticSecondsSinceAnswer(benchmark::State &state) {
  Read(state, 489, ZL_TYPE_DOUBLE);
}
void BM_GetInputDiagnosticQueueCounts(benchmark::State &state) {
  Read(state, 490, ZL_TYPE_DOUBLE);
}
void BM_GetInputDiagnosticHeapBytes(benchmark::State &state) {
  Read(state, 496, ZL_TYPE_I32);
}

// The literal scans the index replaces, on the same two channels.
void BM_LiteralScanLastStationChannel(benchmark::State &state) {
  DriverInstance &di = Driver().di;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindVariable(di, kLastStationAnalogInput1));
    benchmark::DoNotOptimize(ResolveStationChannel(di, kLastStationAnalogInput1));
  }
}
void BM_LiteralScanVariableAmong6000(benchmark::State &state) {
  DriverInstance &di = Driver().di;
  for (auto _ : state) benchmark::DoNotOptimize(FindVariable(di, kLastVariableChannel));
}

BENCHMARK(BM_GetInputLastStationChannel);
BENCHMARK(BM_GetInputVariableAmong6000);
BENCHMARK(BM_GetInputDiagnosticSecondsSinceAnswer);
BENCHMARK(BM_GetInputDiagnosticQueueCounts);
BENCHMARK(BM_GetInputDiagnosticHeapBytes);
BENCHMARK(BM_LiteralScanLastStationChannel);
BENCHMARK(BM_LiteralScanVariableAmong6000);

}  // namespace
}  // namespace zl
