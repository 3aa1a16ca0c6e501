// The communication thread's own work per pass, without the sleep between
// passes: housekeeping alone (clocks, timers, labels, the sleep countdown of
// 100 stations) and a whole idle pass of a connected driver with nothing
// queued (housekeeping, the connection pass with its cycle step, the empty
// answer store). What the thread costs when idle is this, times the pass
// rate, plus what the system charges for each sleep and wake-up (bench/line
// measures the sum).
#include <benchmark/benchmark.h>

#include "BenchDriver.h"
#include "BenchUtil.h"
#include "driver/CommPass.h"
#include "driver/Housekeeping.h"

namespace zl {
namespace {

struct Idle {
  Idle() {
    driver.di.Client = &client;
    driver.di.StationOnline.store(1);
  }
  bench::ConfiguredDriver driver;
  DriverInstance &di = driver.di;
  bench::QuietClient client;
  Label queueStatusLabel{"Label1", 0, 0, Font{}};
  Label activityLabel{"Label2", 0, 0, Font{}};
  Memo memo{"EventList", 0, 0, 1, 1, Font{}};
};

Idle &TheDriver() {
  static Idle idle;
  return idle;
}

void BM_Housekeeping(benchmark::State &state) {
  Idle &d = TheDriver();
  for (auto _ : state) Housekeeping(d.di, d.queueStatusLabel, d.activityLabel);
}

void BM_IdlePass(benchmark::State &state) {
  Idle &d = TheDriver();
  PassContext ctx{d.di, &d.client, d.queueStatusLabel, d.activityLabel, d.memo};
  for (auto _ : state) RunPass(ctx);
}

const bool registered = [] {
  bench::Register("Pass/housekeeping/100", BM_Housekeeping);
  bench::Register("Pass/idle_connected/100", BM_IdlePass);
  return true;
}();

}  // namespace
}  // namespace zl
