// Host data exchange in tests: a driver instance loaded from a parameter file
// given as text, with its channel map built as Init builds it, FakeServices
// and a LineClient that records what the driver asks of it.
#ifndef ZL_TESTS_SUPPORT_EXCHANGEFIXTURE_H
#define ZL_TESTS_SUPPORT_EXCHANGEFIXTURE_H

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/LineClient.h"
#include "core/QueuedRequest.h"
#include "support/ConfigFixture.h"
#include "zlnetdrv.h"

namespace zl::test {

// Records the calls of the host's side ("SetEndpoint 127.0.0.1:4001",
// "Connect", "Disconnect", "ClearReceived"); OnCall runs at each, so a test
// can look at the driver's state at that moment.
class FakeLineClient : public LineClient {
 public:
  bool Connected() const override { return connected; }
  bool PollEnabled() const override { return false; }
  std::string Host() const override { return host; }
  int Port() const override { return port; }
  void SetEndpoint(const std::string &h, int p) override;
  bool Connect() override;
  void Disconnect() override;
  int ReceivedCount() override { return 0; }
  int ReadByte(uint8_t &) override { return 0; }
  Str255 ReadBytes(uint16_t) override { return {}; }
  void ClearReceived() override { Record("ClearReceived"); }
  void SendFrame(LineState &, const Str255 &, uint8_t) override {}
  int PendingOutput() override { return 0; }
  bool CanTransmit(const LineState &) override { return true; }

  void Record(const std::string &call);

  bool connected = false;
  std::string host;
  int port = 0;
  std::vector<std::string> calls;
  std::function<void(const std::string &)> OnCall;
};

class ExchangeFixture : public ConfigFixture {
 public:
  ExchangeFixture();
  // Loads the file and builds the channel map; false when the load fails.
  bool LoadIndexed(std::string_view fileText);
  // A [GLOBAL] section and the given [STATION] sections (StationSection).
  bool LoadStations(const std::vector<std::string> &stationExtras);

  // GetInput with the value bytes preset to 0xEE, so untouched bytes show.
  HostValue Get(uint16_t channel, uint32_t type);
  template <class T>
  T GetAs(uint16_t channel, uint32_t type) {
    HostValue v = Get(channel, type);
    T x;
    std::memcpy(&x, v.value, sizeof x);
    return x;
  }
  double GetDouble(uint16_t channel) { return GetAs<double>(channel, ZL_TYPE_DOUBLE); }
  void Put(uint16_t channel, uint32_t type, uint64_t value);
  void PutDouble(uint16_t channel, double value);

  std::vector<QueuedRequest> Primary();
  std::vector<QueuedRequest> Secondary();

  FakeLineClient Client;
};

// True when every byte of v's value from offset on is still 0xEE.
bool UntouchedFrom(const HostValue &v, int offset);

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_EXCHANGEFIXTURE_H
