// The drivers the benchmark programs measure: a driver instance configured
// from a large parameter file the way Init configures it (no thread, no
// socket), a gateway connection that is up and quiet, and the running driver
// of a PerfHost connected to its simulated gateway.
#ifndef ZL_BENCH_BENCHDRIVER_H
#define ZL_BENCH_BENCHDRIVER_H

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/DriverInstance.h"
#include "exchange/ChannelMap.h"
#include "core/LineClient.h"
#include "support/ConfigFixture.h"
#include "support/PerfConfig.h"
#include "support/PerfHost.h"

namespace zl::bench {

// Loaded from PerfParameterFile(options), with its channel index; a file that
// does not load ends the program (every figure would be wrong).
struct ConfiguredDriver {
  explicit ConfiguredDriver(const test::perf::PerfFileOptions &options = {}) {
    di.Services = &services;
    std::string error;
    if (!test::LoadConfigText(di, test::perf::PerfParameterFile(options), &error)) {
      std::fprintf(stderr, "configuration not loaded: %s\n", error.c_str());
      std::abort();
    }
    di.Channels = BuildChannelIndex(di);
  }
  test::FakeServices services;
  DriverInstance di;
};

// A gateway connection that is up and sends nothing; derived clients serve
// bytes of their own.
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

// The host's connection to its gateway; on failure the benchmark is skipped
// with the reason.
inline bool ConnectOrSkip(test::perf::PerfHost &host, benchmark::State &state) {
  if (host.Ok() && host.Connect()) return true;
  state.SkipWithError(host.Ok() ? "no connection" : host.Error().c_str());
  return false;
}

}  // namespace zl::bench

#endif  // ZL_BENCH_BENCHDRIVER_H
