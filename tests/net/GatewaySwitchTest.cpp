// Pointing the client at another gateway while a connection is open.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "net/GatewayClient.h"
#include "port/Socket.h"
#include "port/WinSockErrors.h"
#include "support/Loopback.h"
#include "support/TestSupport.h"

namespace zl {
namespace {

using test::LoopbackListener;
using test::PumpUntil;

TEST(GatewaySwitch, ConnectingToAnotherGatewayClosesTheOldConnectionFirst) {
  MessageLoop loop;
  test::FakeServices memo;
  GatewayClient client(loop, &memo);
  LoopbackListener first, second;

  client.SetEndpoint("127.0.0.1", first.port());
  ASSERT_TRUE(client.Connect());
  ASSERT_TRUE(PumpUntil(loop, [&] { return client.Connected(); }));
  test::LoopbackPeer old = first.Accept();
  ASSERT_TRUE(old.valid());

  client.SetEndpoint("127.0.0.1", second.port());
  ASSERT_TRUE(client.Connect());
  // The first gateway sees its connection end: a read gives end of file.
  EXPECT_EQ(old.Receive(1), "");
  test::LoopbackPeer now = second.Accept();
  ASSERT_TRUE(now.valid());
  ASSERT_TRUE(PumpUntil(loop, [&] { return client.Connected(); }));

  // What the driver sends now reaches the second gateway.
  LineState line;
  client.SendFrame(line, Str255("\x02\x02z"), 0xFE);
  EXPECT_EQ(now.Receive(3), "\x02\x02z");
}

TEST(GatewaySwitch, ConnectingAgainToTheSameGatewayKeepsTheConnection) {
  MessageLoop loop;
  test::FakeServices memo;
  GatewayClient client(loop, &memo);
  LoopbackListener gateway;
  client.SetEndpoint("127.0.0.1", gateway.port());
  ASSERT_TRUE(client.Connect());
  ASSERT_TRUE(PumpUntil(loop, [&] { return client.Connected(); }));
  test::LoopbackPeer peer = gateway.Accept();
  ASSERT_TRUE(peer.valid());

  // As designed, a second connect to the same endpoint opens nothing new.
  EXPECT_FALSE(client.Connect());
  EXPECT_TRUE(client.Connected());
  LineState line;
  client.SendFrame(line, Str255("ok"), 0xFE);
  EXPECT_EQ(peer.Receive(2), "ok");
}

// A name server that answers only when the test says so (or gives up after
// ten seconds, which the test would see).
std::atomic<bool> g_release{false};
std::atomic<bool> g_gaveUp{false};
int SlowResolver(const std::string &, uint32_t &address) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!g_release.load()) {
    if (std::chrono::steady_clock::now() > deadline) {
      g_gaveUp.store(true);
      return kWsaTryAgain;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  address = htonl(INADDR_LOOPBACK);
  return 0;
}

TEST(GatewaySwitch, AGatewaysNameIsLookedUpOffTheHostsThread) {
  MessageLoop loop;
  test::FakeServices memo;
  LoopbackListener gateway;
  SetHostResolver(&SlowResolver);
  {
    GatewayClient client(loop, &memo);
    client.SetEndpoint("gateway.invalid", gateway.port());
    client.Connect();
    // The connect command came back while the name server still thinks.
    EXPECT_FALSE(g_gaveUp.load());
    EXPECT_FALSE(client.Connected());
    g_release.store(true);
    EXPECT_TRUE(PumpUntil(loop, [&] { return client.Connected(); }));
    EXPECT_TRUE(gateway.Accept().valid());
  }
  SetHostResolver(nullptr);
}

}  // namespace
}  // namespace zl
