// The engine's unit tests: a loaded two-station line, a fake line client
// that the test feeds and reads, a clock that stands still, and ZL2 messages
// built by hand, byte by byte, independently of the driver's own coding.
#ifndef ZL_TESTS_SUPPORT_ENGINEFIXTURE_H
#define ZL_TESTS_SUPPORT_ENGINEFIXTURE_H

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/DriverInstance.h"
#include "core/LineClient.h"
#include "port/Clock.h"
#include "port/Window.h"
#include "support/Bytes.h"
#include "support/ConfigFixture.h"
#include "support/EngineLine.h"

namespace zl::test {

using namespace zl::test::engine;

// The gateway end of the line: bytes fed by the test wait in the receive
// store; every frame handed over is kept with the mode it was given.
class FakeLine : public LineClient {
 public:
  bool Connected() const override { return connected; }
  bool PollEnabled() const override { return true; }
  std::string Host() const override { return host; }
  int Port() const override { return port; }
  void SetEndpoint(const std::string &h, int p) override {
    host = h;
    port = p;
  }
  bool Connect() override { return connected = true; }
  void Disconnect() override { connected = false; }

  int ReceivedCount() override { return static_cast<int>(incoming.size()); }
  int ReadByte(uint8_t &b) override {
    if (!incoming.empty()) {
      b = static_cast<uint8_t>(incoming.front());
      incoming.erase(0, 1);
    }
    return 0;
  }
  Str255 ReadBytes(uint16_t maxCount) override {
    Str255 out(std::string_view(incoming).substr(0, std::min<std::size_t>(maxCount, 255)));
    incoming.erase(0, out.size());
    return out;
  }
  void ClearReceived() override { incoming.clear(); }

  void SendFrame(LineState &state, const Str255 &frame, uint8_t newMode) override {
    if (newMode != 0xFE) state.CycleState.store(newMode);
    if (connected) sent.push_back(frame.str());
  }
  int PendingOutput() override { return 0; }
  bool CanTransmit(const LineState &) override { return true; }

  void Feed(std::string_view bytes) { incoming += bytes; }

  bool connected = true;
  std::string host = "127.0.0.1";
  int port = 4001;
  std::string incoming;
  std::vector<std::string> sent;
};

class EngineTest : public ::testing::Test {
 protected:
  EngineTest();
  ~EngineTest() override;

  // Loads EngineParameterFile(); fails the test when it does not load.
  void Load();

  Station &St(int n) { return *cfg_.Di.StationAt(n); }
  DriverInstance &Di() { return cfg_.Di; }
  std::vector<std::string> Posted() { return cfg_.Services.Posted(); }
  std::string Log() const;  // the debug log written so far

  // Calls ReceiveStep until the fed bytes are used up; answers how many
  // messages were stored.
  int ReceiveAll();

  ConfigFixture cfg_;
  FakeLine line_;
  ManualClock clock_;
  Label queueStatusLabel_{"Label1", 0, 0, Font{}};
  Label activityLabel_{"Label2", 0, 0, Font{}};
  Memo memo_{"EventList", 0, 0, 1, 1, Font{}};
};

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_ENGINEFIXTURE_H
