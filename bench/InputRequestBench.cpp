// InputRequest for all 6000 QQ variables of a 100-station file, as one scan
// of a host. The figure that counts: the scan with the queue already full of
// the merged reads of an earlier scan (the line is slower than the host, so
// every variable's read is still pending and nothing is queued): under 2 ms.
// Beside it, the same scan against the 6700 unmerged reads a first scan
// leaves, the first scan itself (every read queued), and the scan through the
// C entry points of a running driver whose line never answers, so that its
// queue stays full, with the communication thread woken by every call.
#include <benchmark/benchmark.h>

#include <memory>

#include "BenchDriver.h"
#include "BenchUtil.h"
#include "core/DriverInstance.h"
#include "core/RequestQueues.h"
#include "exchange/InputPath.h"
#include "support/PerfConfig.h"
#include "support/PerfHost.h"

namespace zl {
namespace {

using namespace zl::test::perf;

constexpr int kStations = 100;
constexpr double kTargetMs = 2.0;
constexpr int kVariables = kStations * kQqPerStation;

DriverInstance &Driver() {
  static bench::ConfiguredDriver loaded;
  return loaded.di;
}

void Scan(DriverInstance &di) {
  for (int n = 1; n <= kStations; ++n) {
    for (int v = 0; v < kQqPerStation; ++v) InputRequest(di, QqChannel(n, v));
  }
}

void EmptyQueues(DriverInstance &di) {
  di.Queues.Clear(QueueId::Primary);
  di.Queues.Clear(QueueId::Secondary);
}

void ReportScan(benchmark::State &state, std::size_t queued) {
  state.counters["queued"] = benchmark::Counter(static_cast<double>(queued));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kVariables);
}

void BM_ScanMergedQueue(benchmark::State &state) {
  DriverInstance &di = Driver();
  EmptyQueues(di);
  Scan(di);
  di.Queues.CompressReads();
  for (auto _ : state) Scan(di);
  ReportScan(state, di.Queues.Count(QueueId::Secondary));
  bench::SetTarget(state, kTargetMs);
}

void BM_ScanUnmergedQueue(benchmark::State &state) {
  DriverInstance &di = Driver();
  EmptyQueues(di);
  Scan(di);
  for (auto _ : state) Scan(di);
  ReportScan(state, di.Queues.Count(QueueId::Secondary));
}

void BM_FirstScan(benchmark::State &state) {
  DriverInstance &di = Driver();
  for (auto _ : state) {
    state.PauseTiming();
    EmptyQueues(di);
    state.ResumeTiming();
    Scan(di);
  }
  ReportScan(state, di.Queues.Count(QueueId::Secondary));
}

// The running driver: its line (every station dead) never answers, so after
// the first scan and the first time-out the queue holds the merged reads.
void BM_ScanRunningDriver(benchmark::State &state) {
  PerfHostOptions options;
  options.File.AnswerTime = 0.2;
  options.AllDead = true;
  PerfHost host(options);
  if (!bench::ConnectOrSkip(host, state)) return;
  void *handle = host.Handle();
  auto scan = [handle] {
    for (int n = 1; n <= kStations; ++n) {
      for (int v = 0; v < kQqPerStation; ++v) ::InputRequest(handle, QqChannel(n, v));
    }
  };
  scan();
  if (!host.PumpUntil([&] { return host.GetDouble(490) <= 2 * kStations; }, 20000)) {
    state.SkipWithError("the reads were not merged");
    return;
  }
  for (auto _ : state) {
    scan();
    state.PauseTiming();
    ::PumpMessages(handle, 0);  // the host's loop between two scans
    state.ResumeTiming();
  }
  ReportScan(state, static_cast<std::size_t>(host.GetDouble(490)));
  bench::SetTarget(state, kTargetMs);
}

const bool registered = [] {
  for (auto *b : {
           bench::Register("InputRequest/scan_6000/merged_queue", BM_ScanMergedQueue),
           bench::Register("InputRequest/scan_6000/unmerged_queue", BM_ScanUnmergedQueue),
           bench::Register("InputRequest/scan_6000/first_scan", BM_FirstScan),
           bench::Register("InputRequest/scan_6000/running_driver", BM_ScanRunningDriver),
       }) {
    b->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace zl
