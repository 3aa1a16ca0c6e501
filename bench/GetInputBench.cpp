// GetInput per channel class, on configurations of 1, 10 and 100 stations
// with 60 QQ variables each and every other kind of definition. The channel
// read always belongs to the last station, where the literal scans of the
// channel map would have to go furthest: each read should cost the same,
// under 100 ns, whatever the configuration (the channel index answers in one
// table read). The literal scans are measured beside it for contrast.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "BenchUtil.h"
#include "exchange/ChannelMap.h"
#include "exchange/InputPath.h"
#include "support/ConfigFixture.h"
#include "support/PerfConfig.h"

namespace zl {
namespace {

using namespace zl::test::perf;

constexpr double kTargetNs = 100.0;
constexpr int kSizes[] = {1, 10, 100};

struct Loaded {
  explicit Loaded(int stations) {
    di.Services = &services;
    PerfFileOptions options;
    options.Stations = stations;
    std::string error;
    if (!test::LoadConfigText(di, PerfParameterFile(options), &error)) {
      std::fprintf(stderr, "configuration not loaded: %s\n", error.c_str());
      std::abort();
    }
    di.Channels = BuildChannelIndex(di);
  }
  test::FakeServices services;
  DriverInstance di;
};

DriverInstance &Driver(int stations) {
  static std::map<int, std::unique_ptr<Loaded>> loaded;
  auto &slot = loaded[stations];
  if (!slot) slot = std::make_unique<Loaded>(stations);
  return slot->di;
}

void Read(benchmark::State &state, int stations, uint16_t channel, uint32_t type) {
  DriverInstance &di = Driver(stations);
  char text[256];
  HostValue value{type, {}};
  if (type == ZL_TYPE_TEXT) {
    const auto address = reinterpret_cast<uintptr_t>(text);
    std::memcpy(value.value, &address, sizeof address);
  }
  for (auto _ : state) {
    GetInput(di, channel, value);
    benchmark::DoNotOptimize(value);
    benchmark::ClobberMemory();
  }
  bench::SetTarget(state, kTargetNs);
}

void RegisterClasses() {
  for (int stations : kSizes) {
    for (const ClassSample &sample : ClassSamples(stations)) {
      bench::Register("GetInput/" + std::string(sample.Id) + "/" + std::to_string(stations),
                      [stations, sample](benchmark::State &state) {
                        Read(state, stations, sample.Channel, sample.Type);
                      });
    }
  }
  // Diagnostics that are not a field read: the queue counts (both queues'
  // sizes under their lock) and the heap in use.
  bench::Register("GetInput/diagnostic_queues/100",
                  [](benchmark::State &state) { Read(state, 100, 490, ZL_TYPE_DOUBLE); });
  bench::Register("GetInput/diagnostic_heap/100",
                  [](benchmark::State &state) { Read(state, 100, kChHeapBytes, ZL_TYPE_I32); });
  // The literal scans that the index replaces, on the last station's channels.
  const uint16_t analog = ClassSamples(100)[2].Channel;
  const uint16_t variable = QqChannel(100, kQqPerStation - 1);
  bench::Register("LiteralScan/station_channel/100", [analog](benchmark::State &state) {
    DriverInstance &di = Driver(100);
    for (auto _ : state) {
      benchmark::DoNotOptimize(FindVariable(di, analog));
      benchmark::DoNotOptimize(ResolveStationChannel(di, analog));
    }
  });
  bench::Register("LiteralScan/qq/100", [variable](benchmark::State &state) {
    DriverInstance &di = Driver(100);
    for (auto _ : state) benchmark::DoNotOptimize(FindVariable(di, variable));
  });
}

const bool registered = (RegisterClasses(), true);

}  // namespace
}  // namespace zl
