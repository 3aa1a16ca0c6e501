#include "net/GatewayClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/Loopback.h"
#include "support/TestSupport.h"

namespace zl {
namespace {

using test::Cp;
using test::FakeServices;
using test::LoopbackListener;
using test::LoopbackPeer;
using test::PumpAWhile;
using test::PumpUntil;

// A client connected to a listener on 127.0.0.1, with the gateway's end.
struct Connection {
  MessageLoop loop;
  FakeServices memo;
  LoopbackListener server;
  GatewayClient client{loop, &memo};
  LoopbackPeer peer;

  bool Open() {
    memo.ClearAll();
    client.SetEndpoint("127.0.0.1", server.port());
    if (!client.Connect()) return false;
    if (!PumpUntil(loop, [&] { return client.Connected(); })) return false;
    peer = server.Accept();
    return peer.valid();
  }
  // Sends from the gateway and pumps until the store holds count bytes.
  bool Arrive(const std::string &bytes, int count) {
    return peer.Send(bytes) && PumpUntil(loop, [&] { return client.ReceivedCount() == count; });
  }
  std::string TakeAll() {
    std::string out;
    for (Str255 s; !(s = client.ReadBytes(255)).empty();) out += s.str();
    return out;
  }
};

std::string Pattern(std::size_t n, int seed = 0) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>((i * 7 + seed) % 256);
  return s;
}

TEST(GatewayClient, ConstructionWritesTheFiveStatusLinesAndTheDefaults) {
  MessageLoop loop;
  FakeServices memo;
  GatewayClient client(loop, &memo);
  // The lines against what the system itself says, not against the socket's
  // own fields: a line left empty or taken from the wrong field shows.
  const std::vector<std::string> lines = memo.Lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "WinSocket Verze: 1.1");
  EXPECT_GT(lines[1].size(), std::string("Popis: ").size()) << lines[1];
  EXPECT_EQ(lines[1].rfind("Popis: ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2], "System Status: Running");
  char hostName[128] = {};
  ASSERT_EQ(::gethostname(hostName, sizeof hostName - 1), 0);
  EXPECT_EQ(lines[3], Cp("Local Host, Název: ") + hostName);
  const std::string addressHead = "Local Host, Adresa: ";
  ASSERT_EQ(lines[4].rfind(addressHead, 0), 0u) << lines[4];
  const std::string address = lines[4].substr(addressHead.size());
  in_addr parsed{};
  ASSERT_EQ(::inet_pton(AF_INET, address.c_str(), &parsed), 1)
      << "not an IPv4 address: " << address;
  EXPECT_EQ(client.Host(), "127.0.0.1");
  EXPECT_EQ(client.Port(), 1998);
  EXPECT_FALSE(client.Connected());
  EXPECT_TRUE(client.PollEnabled());
  EXPECT_FALSE(client.Opened());
  EXPECT_FALSE(client.ErrorFlag());
  EXPECT_FALSE(client.Receiving());
  EXPECT_EQ(client.ReceivedCount(), 0);
  EXPECT_EQ(client.PendingOutput(), 0);

  GatewayClient silent(loop, nullptr);  // no memo: no lines, no harm
  EXPECT_EQ(memo.Lines().size(), 5u);
}

TEST(GatewayClient, ConnectWritesItsLinesAndTheLocalPort) {
  Connection c;
  ASSERT_TRUE(c.Open());
  sockaddr_in remote{};
  socklen_t len = sizeof remote;
  ASSERT_EQ(::getpeername(c.peer.fd(), reinterpret_cast<sockaddr *>(&remote), &len), 0);
  std::string port = std::to_string(c.server.port());
  std::vector<std::string> expected = {
      Cp("Probíha připojení ") + "127.0.0.1" + Cp(" na portu ") + port,
      Cp("Socket otevřen."),
      Cp("Připojeno na portu ") + std::to_string(ntohs(remote.sin_port)),
  };
  EXPECT_EQ(c.memo.Lines(), expected);
  EXPECT_TRUE(c.client.Connected());
  EXPECT_FALSE(c.client.Opened());
  EXPECT_FALSE(c.client.ErrorFlag());
}

TEST(GatewayClient, ARefusedConnectShowsTheErrorLineAndStaysDisconnected) {
  MessageLoop loop;
  FakeServices memo;
  GatewayClient client(loop, &memo);
  int port = test::ClosedLoopbackPort();
  client.SetEndpoint("127.0.0.1", port);
  memo.ClearAll();
  EXPECT_TRUE(client.Connect());
  EXPECT_TRUE(client.Opened());
  ASSERT_TRUE(PumpUntil(loop, [&] { return client.ErrorFlag(); }));
  std::vector<std::string> expected = {
      Cp("Probíha připojení 127.0.0.1 na portu ") + std::to_string(port),
      Cp("Socket otevřen."),
      Cp("Chyba TCP 10061: Spojení zamítnuto"),
  };
  EXPECT_EQ(memo.Lines(), expected);
  EXPECT_FALSE(client.Connected());
  EXPECT_TRUE(client.Opened());
}

TEST(GatewayClient, ConnectingAgainAfterARefusalReallyConnects) {
  Connection c;
  c.client.SetEndpoint("127.0.0.1", test::ClosedLoopbackPort());
  ASSERT_TRUE(c.client.Connect());
  ASSERT_TRUE(PumpUntil(c.loop, [&] { return c.client.ErrorFlag(); }));
  ASSERT_TRUE(c.Open());
  EXPECT_EQ(c.memo.Lines().back().rfind(Cp("Připojeno na portu "), 0), 0u);
  EXPECT_FALSE(c.client.ErrorFlag());
}

TEST(GatewayClient, AServerCloseIsShownAndEndsTheConnection) {
  Connection c;
  ASSERT_TRUE(c.Open());
  c.peer.Close();
  ASSERT_TRUE(PumpUntil(c.loop, [&] { return !c.client.Connected(); }));
  EXPECT_EQ(c.memo.Lines().back(), Cp("Spojení přerušeno serverem!"));
  EXPECT_EQ(c.client.Socket().State(), AsyncSocket::Ready);
}

TEST(GatewayClient, DisconnectClosesAndSaysSo) {
  Connection c;
  ASSERT_TRUE(c.Open());
  c.client.Disconnect();
  EXPECT_FALSE(c.client.Connected());
  EXPECT_EQ(c.memo.Lines().back(), Cp("Spojení ukončeno."));
  EXPECT_EQ(c.peer.Receive(1), "");
}

TEST(GatewayClient, DestructionDisconnectsAConnectedClient) {
  MessageLoop loop;
  FakeServices memo;
  LoopbackListener server;
  LoopbackPeer peer;
  {
    GatewayClient client(loop, &memo);
    client.SetEndpoint("127.0.0.1", server.port());
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(PumpUntil(loop, [&] { return client.Connected(); }));
    peer = server.Accept();
  }
  EXPECT_EQ(memo.Lines().back(), Cp("Spojení ukončeno."));
  EXPECT_EQ(peer.Receive(1), "");
  PumpAWhile(loop);
}

TEST(GatewayClient, CollectsDataInPiecesAndInABurstInOrder) {
  Connection c;
  ASSERT_TRUE(c.Open());
  std::string expected;
  using namespace std::string_literals;
  for (const std::string &p : {"a"s, "bc"s, "def"s, "\x02\x00\xFF"s}) {
    expected += p;
    ASSERT_TRUE(c.Arrive(p, static_cast<int>(expected.size())));
  }
  std::string burst = Pattern(10000);
  expected += burst;
  ASSERT_TRUE(c.Arrive(burst, static_cast<int>(expected.size())));
  EXPECT_EQ(c.TakeAll(), expected);
  EXPECT_EQ(c.client.ReceivedCount(), 0);
}

TEST(GatewayClient, ReadsTakeWhatIsThereAndNoMore) {
  Connection c;
  ASSERT_TRUE(c.Open());

  // ReadByte on an empty store leaves its output alone.
  uint8_t b = 0x5A;
  EXPECT_EQ(c.client.ReadByte(b), 0);
  EXPECT_EQ(b, 0x5A);
  EXPECT_TRUE(c.client.ReadBytes(10).empty());

  ASSERT_TRUE(c.Arrive("xyz", 3));
  EXPECT_EQ(c.client.ReadByte(b), 0);
  EXPECT_EQ(b, 'x');
  EXPECT_EQ(c.client.ReadBytes(10), Str255("yz"));
  EXPECT_EQ(c.client.ReceivedCount(), 0);

  // A run longer than a text can hold: 255 bytes now, the rest stays.
  std::string run = Pattern(300, 3);
  ASSERT_TRUE(c.Arrive(run, 300));
  EXPECT_EQ(c.client.ReadBytes(1000).str(), run.substr(0, 255));
  EXPECT_EQ(c.client.ReceivedCount(), 45);
  EXPECT_EQ(c.client.ReadBytes(0).size(), 0u);
  EXPECT_EQ(c.client.ReadBytes(5).str(), run.substr(255, 5));
  c.client.ClearReceived();
  EXPECT_EQ(c.client.ReceivedCount(), 0);
}

TEST(GatewayClient, SendFrameSetsTheModeByteAndSendsOnlyWhenConnected) {
  MessageLoop loop;
  FakeServices memo;
  GatewayClient client(loop, &memo);
  LineState line;
  line.CycleState = 3;
  client.SendFrame(line, Str255("\x01\x02"), 5);  // not connected
  EXPECT_EQ(line.CycleState.load(), 5);
  EXPECT_EQ(line.LineTag.load(), 222);
  EXPECT_EQ(client.Socket().SendCalls(), 0u);
  EXPECT_EQ(memo.Lines().size(), 5u);  // nothing reported
  EXPECT_TRUE(client.CanTransmit(line));

  Connection c;
  ASSERT_TRUE(c.Open());
  line.CycleState = 1;
  const std::string frame("\xAA\x05Qq\x00\x7F", 6);
  c.client.SendFrame(line, Str255(std::string_view(frame.data(), 6)), 0xFE);
  EXPECT_EQ(line.CycleState.load(), 1);
  EXPECT_EQ(c.peer.Receive(6), std::string(frame.data(), 6));
  EXPECT_TRUE(c.client.CanTransmit(line));
}

// The communication thread takes bytes while the host's thread appends them:
// every byte arrives once, in order, and a read never comes back shorter
// than the count just seen.
TEST(GatewayClient, ReadsOnAnotherThreadNeverLoseOrReorderBytes) {
  Connection c;
  ASSERT_TRUE(c.Open());
  const std::string sent = Pattern(200000, 11);
  std::atomic<bool> stop{false};
  std::atomic<bool> readerDone{false};
  std::string got;
  int shortReads = 0;
  std::thread reader([&] {
    while (!stop.load() && got.size() < sent.size()) {
      int n = c.client.ReceivedCount();
      if (n == 0) {
        std::this_thread::yield();
      } else if (n % 2) {
        uint8_t b = 0;
        c.client.ReadByte(b);
        got += static_cast<char>(b);
      } else {
        uint16_t want = static_cast<uint16_t>(std::min(n, 300));
        Str255 s = c.client.ReadBytes(want);
        if (s.size() != std::min<std::size_t>(want, 255)) ++shortReads;
        got += s.str();
      }
    }
    readerDone = true;
  });
  std::thread gateway([&] {
    for (std::size_t i = 0; i < sent.size(); i += 777) {
      if (!c.peer.Send(std::string_view(sent).substr(i, 777))) break;
    }
  });
  bool finished = PumpUntil(c.loop, [&] { return readerDone.load(); });
  stop = true;
  if (!finished) ::shutdown(c.peer.fd(), SHUT_RDWR);  // unblocks the gateway
  reader.join();
  gateway.join();
  EXPECT_TRUE(finished);
  EXPECT_EQ(shortReads, 0);
  ASSERT_EQ(got.size(), sent.size());
  EXPECT_TRUE(got == sent);
}

// A gateway that floods while the cycle takes nothing: the store stops
// growing at its ceiling (the gateway is held back), and once the store is
// read everything arrives, in order.
TEST(GatewayClient, AFloodingGatewayIsHeldBackAndNothingIsLost) {
  Connection c;
  ASSERT_TRUE(c.Open());
  const std::string sent = Pattern(1 << 20, 5);
  std::thread gateway([&] { c.peer.Send(sent); });
  const int ceiling = static_cast<int>(GatewayClient::kReceiveHighWater) + 1024;
  EXPECT_TRUE(PumpUntil(c.loop, [&] { return c.client.ReadingHeld(); }));
  PumpAWhile(c.loop);
  EXPECT_LE(c.client.ReceivedCount(), ceiling);

  std::string got;
  int most = 0;
  const bool finished = PumpUntil(c.loop, [&] {
    most = std::max(most, c.client.ReceivedCount());
    got += c.TakeAll();
    return got.size() >= sent.size();
  });
  if (!finished) ::shutdown(c.peer.fd(), SHUT_RDWR);  // unblocks the gateway
  gateway.join();
  EXPECT_LE(most, ceiling);
  ASSERT_EQ(got.size(), sent.size());
  EXPECT_TRUE(got == sent);
  EXPECT_FALSE(c.client.ReadingHeld());
}

// Frames sent from the communication thread while the host's thread
// disconnects: no send meets a closed handle, nothing is reported.
TEST(GatewayClient, SendingRacesSafelyWithDisconnect) {
  Connection c;
  ASSERT_TRUE(c.Open());
  LineState line;
  std::atomic<bool> stop{false};
  std::thread comm([&] {
    while (!stop.load()) c.client.SendFrame(line, Str255("frame"), 0xFE);
  });
  PumpAWhile(c.loop, 3);
  c.client.Disconnect();
  PumpAWhile(c.loop, 3);
  stop = true;
  comm.join();
  PumpAWhile(c.loop, 3);
  EXPECT_FALSE(c.client.Connected());
  EXPECT_FALSE(c.client.ErrorFlag());
  EXPECT_EQ(c.memo.Lines().back(), Cp("Spojení ukončeno."));
}

}  // namespace
}  // namespace zl
