// GetInput per channel class, on configurations of 1, 10 and 100 stations
// with 60 QQ variables each and every other kind of definition. The channel
// read always belongs to the last station, where the literal scans of the
// channel map would have to go furthest: each read should cost the same,
// under 100 ns, whatever the configuration (the channel index answers in one
// table read). Beside them: the same read through the C entry point of a
// running driver, and the literal scans of the channel map for contrast.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "BenchDriver.h"
#include "BenchUtil.h"
#include "exchange/ChannelMap.h"
#include "exchange/InputPath.h"
#include "support/PerfConfig.h"

namespace zl {
namespace {

using namespace zl::test::perf;

constexpr double kTargetNs = 100.0;
constexpr int kSizes[] = {1, 10, 100};

DriverInstance &Driver(int stations) {
  static std::map<int, std::unique_ptr<bench::ConfiguredDriver>> loaded;
  auto &slot = loaded[stations];
  if (!slot) {
    PerfFileOptions options;
    options.Stations = stations;
    slot = std::make_unique<bench::ConfiguredDriver>(options);
  }
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

// Through the C entry point of a running driver (connected, idle, its thread
// passing every 10 ms), as a host calls it: the handle check and the
// exception guard come on top, and the thread's passes take the data lock now
// and then.
void ReadRunningDriver(benchmark::State &state) {
  PerfHost host(PerfHostOptions{});
  if (!bench::ConnectOrSkip(host, state)) return;
  void *handle = host.Handle();
  HostValue value{ZL_TYPE_DOUBLE, {}};
  const uint16_t channel = QqChannel(100, kRealVariable);
  for (auto _ : state) {
    ::GetInput(handle, channel, &value);
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
  bench::Register("GetInput/running_driver/qq/100", ReadRunningDriver);
  // The literal scans that the index replaces, on the last station's channels.
  const uint16_t analog = ClassSamples(100)[2].Channel;
  const uint16_t variable = QqChannel(100, kQqPerStation - 1);
  bench::Register("LiteralScan/station_channel/100", [analog](benchmark::State &state) {
    DriverInstance &di = Driver(100);
    for (auto _ : state) {
      benchmark::DoNotOptimize(FindVariable(ConfiguredStations(di), analog));
      benchmark::DoNotOptimize(ResolveStationChannel(ConfiguredStations(di), analog));
    }
  });
  bench::Register("LiteralScan/qq/100", [variable](benchmark::State &state) {
    DriverInstance &di = Driver(100);
    for (auto _ : state) benchmark::DoNotOptimize(FindVariable(ConfiguredStations(di), variable));
  });
}

const bool registered = (RegisterClasses(), true);

}  // namespace
}  // namespace zl
