// LoadParameterFile of a 100-station file with every kind of definition
// (memory lists, counters, analog limits, inversions, 60 QQ variables of
// every type, two memory blocks, named channels, phone numbers): under 5 ms,
// from opening the file to the last station. Beside it: the same file with
// only the required keywords and the QQ variables, and Init's configuration
// steps as a whole (defaults and the 100 station records, the load, the
// station reset and the channel index).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchUtil.h"
#include "driver/ParameterLoad.h"
#include "exchange/ChannelMap.h"
#include "support/PerfConfig.h"
#include "support/TestSupport.h"

namespace zl {
namespace {

using namespace zl::test::perf;

constexpr double kTargetMs = 5.0;

struct File {
  explicit File(bool everyKind) {
    PerfFileOptions options;
    options.EveryKind = everyKind;
    text = PerfParameterFile(options);
    path = dir.Write("perf.par", text);
  }
  test::TempDir dir;
  std::string text;
  std::string path;
};

const File &TheFile(bool everyKind) {
  static const File every(true), plain(false);
  return everyKind ? every : plain;
}

void Describe(benchmark::State &state, const File &file, const DriverInstance &di) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.text.size()));
  state.counters["stations"] = di.StationCount;
  state.counters["file_kib"] = static_cast<double>(file.text.size()) / 1024.0;
}

void Load(benchmark::State &state, bool everyKind) {
  const File &file = TheFile(everyKind);
  test::FakeServices services;
  DriverInstance di;
  di.Services = &services;
  for (auto _ : state) {
    state.PauseTiming();
    InitZavro(di);  // fresh defaults and station records, as Init gives the load
    di.ParameterFileName = file.path;
    services.ClearAll();
    state.ResumeTiming();
    if (!LoadParameterFile(di)) {
      state.SkipWithError(di.ErrorText);
      return;
    }
  }
  Describe(state, file, di);
  if (everyKind) bench::SetTarget(state, kTargetMs);
}

void BM_ConfigurationSteps(benchmark::State &state) {
  const File &file = TheFile(true);
  test::FakeServices services;
  DriverInstance di;
  di.Services = &services;
  for (auto _ : state) {
    InitZavro(di);
    di.ParameterFileName = file.path;
    if (!LoadParameterFile(di)) {
      state.SkipWithError(di.ErrorText);
      return;
    }
    ResetStations(di);
    di.Channels = BuildChannelIndex(di);
    state.PauseTiming();
    services.ClearAll();
    state.ResumeTiming();
  }
  Describe(state, file, di);
}

const bool registered = [] {
  bench::Register("LoadParameterFile/100_every_kind", [](benchmark::State &s) {
    Load(s, true);
  })->Unit(benchmark::kMillisecond);
  bench::Register("LoadParameterFile/100_plain", [](benchmark::State &s) {
    Load(s, false);
  })->Unit(benchmark::kMillisecond);
  bench::Register("InitConfiguration/100_every_kind", BM_ConfigurationSteps)
      ->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace zl
