// Bytes from the gateway end the communication thread's IdleTime sleep, as a
// host request does: an answer must not wait in the receive store while the
// thread sleeps.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "net/GatewayClient.h"
#include "port/MessageLoop.h"
#include "port/Thread.h"
#include "support/Loopback.h"
#include "support/Sleeper.h"
#include "support/TestSupport.h"
#include "support/Timing.h"

namespace zl {
namespace {

using test::LoopbackListener;
using test::LoopbackPeer;
using test::PumpUntil;
using test::Sleeper;

// The form's services as far as the client uses them: status lines, and the
// wake-up of the thread.
class Services : public test::FakeServices {
 public:
  explicit Services(Thread &thread) : thread_(thread) {}
  void Wake() override {
    test::FakeServices::Wake();
    thread_.Wake();
  }

 private:
  Thread &thread_;
};

TEST(DataWake, BytesFromTheGatewayEndTheThreadsSleep) {
  MessageLoop loop;
  Sleeper thread;
  Services services(thread);
  LoopbackListener server;
  GatewayClient client(loop, &services);
  client.SetEndpoint("127.0.0.1", server.port());
  ASSERT_TRUE(client.Connect());
  ASSERT_TRUE(PumpUntil(loop, [&] { return client.Connected(); }));
  LoopbackPeer peer = server.Accept();
  ASSERT_TRUE(peer.valid());
  thread.Resume();
  EXPECT_EQ(services.Wakes(), 0);  // connecting alone wakes nothing

  for (int answer = 1; answer <= 3; ++answer) {
    const int before = thread.sleepsEnded.load();
    ASSERT_TRUE(peer.Send(std::string("\x02\x02\x00\x03YAB\r", 8)));
    ASSERT_TRUE(PumpUntil(loop, [&] { return client.ReceivedCount() == 8 * answer; }));
    EXPECT_TRUE(test::WaitUntil([&] { return thread.sleepsEnded.load() > before; }))
        << "answer " << answer << " left waiting";
  }
  EXPECT_GE(services.Wakes(), 3);
}

}  // namespace
}  // namespace zl
