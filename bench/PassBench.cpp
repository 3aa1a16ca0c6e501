// The communication thread's own work per pass, without the sleep between
// passes: housekeeping alone (clocks, timers, labels, the sleep countdown of
// 100 stations) and a whole idle pass of a connected driver with nothing
// queued (housekeeping, the connection pass with its cycle step, the empty
// answer store). What the thread costs when idle is this, times the pass
// rate, plus what the system charges for each sleep and wake-up (bench/line
// measures the sum).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "BenchUtil.h"
#include "driver/CommPass.h"
#include "driver/Housekeeping.h"
#include "net/LineClient.h"
#include "support/ConfigFixture.h"
#include "support/PerfConfig.h"

namespace zl {
namespace {

using namespace zl::test::perf;

// A gateway connection that is up and quiet.
class QuietClient : public LineClient {
 public:
  bool Connected() const override { return true; }
  bool PollEnabled() const override { return true; }
  std::string Host() const override { return "127.0.0.1"; }
  int Port() const override { return 4001; }
  void SetEndpoint(const std::string &, int) override {}
  bool Connect() override { return true; }
  void Disconnect() override {}
  int ReceivedCount() override { return 0; }
  int ReadByte(uint8_t &) override { return 0; }
  Str255 ReadBytes(uint16_t) override { return {}; }
  void ClearReceived() override {}
  void SendFrame(LineState &, const Str255 &, uint8_t) override {}
  int PendingOutput() override { return 0; }
  bool CanTransmit(const LineState &) override { return true; }
};

struct Idle {
  Idle() {
    di.Services = &services;
    std::string error;
    if (!test::LoadConfigText(di, PerfParameterFile({}), &error)) {
      std::fprintf(stderr, "configuration not loaded: %s\n", error.c_str());
      std::abort();
    }
    di.Client = &client;
    di.StationOnline.store(1);
  }
  test::FakeServices services;
  DriverInstance di;
  QuietClient client;
  Label label1{"Label1", 0, 0, Font{}};
  Label label2{"Label2", 0, 0, Font{}};
  Memo memo{"EventList", 0, 0, 1, 1, Font{}};
};

Idle &TheDriver() {
  static Idle idle;
  return idle;
}

void BM_Housekeeping(benchmark::State &state) {
  Idle &d = TheDriver();
  for (auto _ : state) Housekeeping(d.di, d.label1, d.label2);
}

void BM_IdlePass(benchmark::State &state) {
  Idle &d = TheDriver();
  PassContext ctx{d.di, &d.client, d.label1, d.label2, d.memo};
  for (auto _ : state) RunPass(ctx);
}

const bool registered = [] {
  bench::Register("Pass/housekeeping/100", BM_Housekeeping);
  bench::Register("Pass/idle_connected/100", BM_IdlePass);
  return true;
}();

}  // namespace
}  // namespace zl
