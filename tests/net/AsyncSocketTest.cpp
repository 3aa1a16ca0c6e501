#include "net/AsyncSocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "util/Texts.h"
#include "port/Socket.h"
#include "port/WinSockErrors.h"
#include "support/Loopback.h"
#include "support/TestSupport.h"

namespace zl {
namespace {

using test::Cp;
using test::LoopbackListener;
using test::LoopbackPeer;
using test::PumpAWhile;
using test::PumpUntil;

struct Reported {
  int error;
  std::string text;
};

// A ClientSocket with its events recorded.
struct Recorder {
  MessageLoop &loop;
  ClientSocket client;
  LoopbackListener server;  // the gateway
  LoopbackPeer peer;        // its end of the connection, once linked
  std::vector<Reported> errors;
  std::vector<int> connects;
  int closes = 0;
  std::string data;
  std::vector<std::size_t> pieces;  // sizes of each ReceiveText

  explicit Recorder(MessageLoop &l) : loop(l), client(l) {
    client.OnError = [this](AsyncSocket &, int e, const std::string &m) {
      errors.push_back({e, m});
    };
    client.OnConnect = [this](AsyncSocket &, int fd) { connects.push_back(fd); };
    client.OnClose = [this](AsyncSocket &, int) { ++closes; };
    client.OnData = [this](AsyncSocket &, int) {
      std::string piece = client.ReceiveText();
      pieces.push_back(piece.size());
      data += piece;
    };
  }
  void OpenTo(const std::string &host, int port) {
    client.Host = host;
    client.Port = std::to_string(port);
    client.Open();
  }
  bool WaitConnected() {
    return PumpUntil(loop, [&] { return client.State() == AsyncSocket::Connected; });
  }
  // Connects to the recorder's own listener and accepts there.
  bool Link() {
    OpenTo("127.0.0.1", server.port());
    if (!WaitConnected()) return false;
    peer = server.Accept();
    return peer.valid();
  }
};

TEST(SocketErrorText, TableCodesHaveTheirTextsAndOthersTheUnspecifiedOne) {
  struct Case {
    int code;
    const char *utf8;
  } cases[] = {
      {10004, "Přerušeno volání systémem"},
      {10035, "Operace vyžaduje blokové (asynchronní) spojení"},
      {10050, "Síťové spojení spadlo"},
      {10054, "Spojení bylo resetováno (peer)"},
      {10061, "Spojení zamítnuto"},
      {10071, "Příliš mnoho úrovní vzdálené cesty"},
      {10093, "WinSock není zinicializován"},
      {11001, "Host nebyl nalezen"},
      {11004, "Nejsou data požadovaného typu"},
      {0, "Nespecifikovaná chyba Winsocku"},
      {10000, "Nespecifikovaná chyba Winsocku"},
      {10072, "Nespecifikovaná chyba Winsocku"},
      {10107, "Nespecifikovaná chyba Winsocku"},
      {11005, "Nespecifikovaná chyba Winsocku"},
      {-1, "Nespecifikovaná chyba Winsocku"},
  };
  for (const Case &c : cases) EXPECT_EQ(SocketErrorText(c.code), Cp(c.utf8)) << c.code;
}

TEST(WinSockErrors, LinuxFailuresMapOntoTheirWinSockNumbers) {
  struct Case {
    int err;
    int wsa;
  } cases[] = {
      {ECONNREFUSED, 10061},
      {ETIMEDOUT, 10060},
      {ECONNRESET, 10054},
      {ENETDOWN, 10050},
      {EHOSTUNREACH, 10065},
      {ENETUNREACH, 10051},
      {EADDRINUSE, 10048},
      {EADDRNOTAVAIL, 10049},
      {EWOULDBLOCK, 10035},
      {EINPROGRESS, 10035},
      {ENOTCONN, 10057},
      {EISCONN, 10056},
      {ENOTSOCK, 10038},
      {EBADF, 10009},
      {EMFILE, 10024},
      {ENOBUFS, 10055},
      {EALREADY, 10037},
      {ECONNABORTED, 10053},
      {ESHUTDOWN, 10058},
      {EHOSTDOWN, 10064},
      {EAFNOSUPPORT, 10047},
      {EINTR, 10004},
      {EACCES, 10013},
      {0, 0},
      // No WinSock counterpart: a code without a text, never a wrong one.
      {ENODATA, 10107},
      {ENOSYS, 10107},
      {EPROTO, 10107},
      {ENOENT, 10107},
  };
  for (const Case &c : cases) EXPECT_EQ(WinSockErrorFromErrno(c.err), c.wsa) << c.err;
  EXPECT_EQ(WinSockErrorFromResolver(EAI_NONAME, 0), kWsaHostNotFound);
  EXPECT_EQ(WinSockErrorFromResolver(EAI_AGAIN, 0), kWsaTryAgain);
  EXPECT_EQ(WinSockErrorFromResolver(EAI_FAIL, 0), kWsaNoRecovery);
  EXPECT_EQ(WinSockErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), kWsaEconnrefused);
}

TEST(ParsePortNumber, AcceptsOnlyDecimalPortNumbers) {
  struct Case {
    const char *text;
    bool ok;
    uint16_t port;
  } cases[] = {
      {"1998", true, 1998}, {"0", true, 0},      {"65535", true, 65535}, {"00080", true, 80},
      {"65536", false, 0},  {"99999", false, 0}, {"123456", false, 0},   {"", false, 0},
      {"-1", false, 0},     {"+80", false, 0},   {" 80", false, 0},      {"80a", false, 0},
  };
  for (const Case &c : cases) {
    uint16_t port = 7;
    EXPECT_EQ(ParsePortNumber(c.text, port), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(port, c.port) << c.text;
    }
  }
}

TEST(SocketLayer, ServiceNamesAndProtocolNamesComeFromTheDatabases) {
  std::string name;
  ASSERT_EQ(ProtocolNameOf(6, name), 0);
  EXPECT_EQ(name, "tcp");
  uint16_t port = 0;
  if (!ServicePort("http", "tcp", port)) GTEST_SKIP() << "no services database";
  EXPECT_EQ(port, 80);
  EXPECT_FALSE(ServicePort("no-such-service-zl", "tcp", port));
  EXPECT_FALSE(ServicePort("", "tcp", port));
}

TEST(ClientSocket, StartsReadyWithTheSocketLayerTexts) {
  MessageLoop loop;
  ClientSocket client(loop);
  EXPECT_EQ(client.State(), AsyncSocket::Ready);
  EXPECT_EQ(client.VersionText, "1.1");
  EXPECT_FALSE(client.Description.empty());
  EXPECT_FALSE(client.SystemStatus.empty());
  EXPECT_GT(client.MaxSockets, 0);
  EXPECT_EQ(client.Protocol, 6);
  EXPECT_EQ(client.SocketType, kSockStream);
  EXPECT_EQ(client.Handle(), -1);
  EXPECT_EQ(client.LocalPort(-1), "");
  EXPECT_FALSE(client.LocalHostName().empty());
}

TEST(ClientSocket, ConnectsToANumericAddressAndReportsTheConnectOnce) {
  MessageLoop loop;
  Recorder r(loop);
  r.OpenTo("127.0.0.1", r.server.port());
  EXPECT_EQ(r.client.State(), AsyncSocket::Connecting);
  int fd = r.client.Handle();
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);

  // Open while connecting does nothing: same socket, nothing reported.
  r.client.Open();
  EXPECT_EQ(r.client.Handle(), fd);

  ASSERT_TRUE(r.WaitConnected());
  EXPECT_EQ(r.connects, std::vector<int>{fd});
  r.peer = r.server.Accept();
  ASSERT_TRUE(r.peer.valid());
  sockaddr_in remote{};
  socklen_t len = sizeof remote;
  ASSERT_EQ(::getpeername(r.peer.fd(), reinterpret_cast<sockaddr *>(&remote), &len), 0);
  EXPECT_EQ(r.client.LocalPort(fd), std::to_string(ntohs(remote.sin_port)));

  // And while connected.
  r.client.Open();
  EXPECT_EQ(r.client.Handle(), fd);
  PumpAWhile(loop);
  EXPECT_EQ(r.connects.size(), 1u);
  EXPECT_TRUE(r.errors.empty());
}

TEST(ClientSocket, ResolvesAHostNameByLookup) {
  MessageLoop loop;
  Recorder r(loop);
  r.OpenTo("localhost", r.server.port());
  ASSERT_TRUE(r.WaitConnected());
  EXPECT_TRUE(r.errors.empty());
}

TEST(ClientSocket, ARefusedConnectArrivesLaterAsAConnectError) {
  MessageLoop loop;
  Recorder r(loop);
  r.OpenTo("127.0.0.1", test::ClosedLoopbackPort());
  EXPECT_EQ(r.client.State(), AsyncSocket::Connecting);
  EXPECT_TRUE(r.errors.empty());
  ASSERT_TRUE(PumpUntil(loop, [&] { return !r.errors.empty(); }));
  EXPECT_EQ(r.errors[0].error, 10061);
  EXPECT_EQ(r.errors[0].text, Cp("Spojení zamítnuto"));
  EXPECT_EQ(r.client.LastError(), 10061);
  EXPECT_EQ(r.client.SocketErrorText(), Cp("Spojení zamítnuto"));
  EXPECT_EQ(r.client.State(), AsyncSocket::Connecting);
  EXPECT_TRUE(r.connects.empty());

  r.client.Close();
  EXPECT_EQ(r.client.State(), AsyncSocket::Ready);
  EXPECT_EQ(r.client.Handle(), -1);
}

TEST(ClientSocket, OpeningAgainAfterAFailedConnectMakesAFreshAttempt) {
  MessageLoop loop;
  Recorder r(loop);
  r.OpenTo("127.0.0.1", test::ClosedLoopbackPort());
  ASSERT_TRUE(PumpUntil(loop, [&] { return !r.errors.empty(); }));
  r.OpenTo("127.0.0.1", r.server.port());
  ASSERT_TRUE(r.WaitConnected());
  EXPECT_EQ(r.connects.size(), 1u);
}

TEST(ClientSocket, ABadPortOrHostIsReportedNotThrown) {
  struct Case {
    const char *host;
    const char *port;
    int error;
  } cases[] = {
      {"127.0.0.1", "no-such-service-zl", kWsaEinval},
      {"127.0.0.1", "70000", kWsaEinval},
      {"127.0.0.1", "", kWsaEinval},
      {"", "1998", kWsaHostNotFound},
  };
  for (const Case &c : cases) {
    MessageLoop loop;
    Recorder r(loop);
    r.client.Host = c.host;
    r.client.Port = c.port;
    EXPECT_NO_THROW(r.client.Open());
    ASSERT_EQ(r.errors.size(), 1u) << c.host << ":" << c.port;
    EXPECT_EQ(r.errors[0].error, c.error) << c.host << ":" << c.port;
    EXPECT_EQ(r.client.State(), AsyncSocket::Ready);
    EXPECT_EQ(r.client.Handle(), -1);
  }
}

TEST(ClientSocket, SendsWholeTextsAndNothingForAnEmptyOne) {
  MessageLoop loop;
  Recorder r(loop);
  r.client.SendText("no socket yet");  // nothing to send on, nothing to report
  EXPECT_EQ(r.client.SendCalls(), 0u);
  r.OpenTo("127.0.0.1", r.server.port());
  r.client.SendText("still connecting");  // not yet this line's connection
  EXPECT_EQ(r.client.SendCalls(), 0u);
  ASSERT_TRUE(r.WaitConnected());
  r.peer = r.server.Accept();
  ASSERT_TRUE(r.peer.valid());

  r.client.SendText("");
  EXPECT_EQ(r.client.SendCalls(), 0u);
  r.client.SendText(std::string("a\0b\xFE", 4));
  EXPECT_EQ(r.client.SendCalls(), 1u);
  EXPECT_EQ(r.peer.Receive(4), std::string("a\0b\xFE", 4));
  EXPECT_TRUE(r.errors.empty());
}

TEST(ClientSocket, SendingToAPeerThatDoesNotReadGivesUpWithoutWaiting) {
  MessageLoop loop;
  Recorder r(loop);
  ASSERT_TRUE(r.Link());
  std::string big(32 << 20, 'x');  // more than both socket buffers hold
  r.client.SendText(big);
  EXPECT_TRUE(r.errors.empty());
  EXPECT_GT(r.client.SendCalls(), 101u);  // the 101 full-buffer failures at least
}

// The communication thread sends into a connection the peer has reset: no
// SIGPIPE, the error is stored at once and reported on the host's thread.
TEST(ClientSocket, ASendFailureOnAnotherThreadIsReportedOnTheHostsThread) {
  MessageLoop loop;
  Recorder r(loop);
  ASSERT_TRUE(r.Link());
  std::thread::id reportedOn;
  r.client.OnError = [&](AsyncSocket &, int e, const std::string &m) {
    reportedOn = std::this_thread::get_id();
    r.errors.push_back({e, m});
  };
  r.peer.Reset();
  std::thread comm([&] {
    // Until the reset has arrived, sends may still succeed.
    for (int i = 0; i < 100000 && r.client.LastError() == 0; ++i) r.client.SendText("ping");
  });
  comm.join();
  EXPECT_EQ(r.client.LastError(), kWsaEconnreset);
  EXPECT_TRUE(r.errors.empty());  // not before the host's thread pumps
  ASSERT_TRUE(PumpUntil(loop, [&] { return !r.errors.empty(); }));
  EXPECT_EQ(r.errors[0].error, kWsaEconnreset);
  EXPECT_EQ(r.errors[0].text, Cp("Spojení bylo resetováno (peer)"));
  EXPECT_EQ(reportedOn, std::this_thread::get_id());
}

TEST(ClientSocket, ReceivesAtMost1024BytesAtATimeUntilAllHaveArrived) {
  MessageLoop loop;
  Recorder r(loop);
  ASSERT_TRUE(r.Link());
  std::string sent;
  for (int i = 0; i < 3000; ++i) sent += static_cast<char>(i % 251);
  ASSERT_TRUE(r.peer.Send(sent));
  ASSERT_TRUE(PumpUntil(loop, [&] { return r.data.size() == sent.size(); }));
  EXPECT_EQ(r.data, sent);
  EXPECT_GE(r.pieces.size(), 3u);
  for (std::size_t n : r.pieces) EXPECT_LE(n, 1024u);
}

TEST(ClientSocket, APeerCloseRunsOnCloseAndClosesTheSocket) {
  MessageLoop loop;
  Recorder r(loop);
  ASSERT_TRUE(r.Link());
  ASSERT_TRUE(r.peer.Send("last"));
  r.peer.Close();
  ASSERT_TRUE(PumpUntil(loop, [&] { return r.closes == 1; }));
  EXPECT_EQ(r.data, "last");  // the data before the close first
  EXPECT_EQ(r.client.State(), AsyncSocket::Ready);
  EXPECT_EQ(r.client.Handle(), -1);
  EXPECT_TRUE(r.errors.empty());
}

TEST(ClientSocket, ACloseNotificationWithNetworkDownOnlyReportsIt) {
  struct Case {
    int error;
    bool reported;
    bool closed;
  } cases[] = {
      {kWsaEnetdown, true, false},
      {kWsaEconnreset, false, true},
      {0, false, true},
  };
  for (const Case &c : cases) {
    MessageLoop loop;
    Recorder r(loop);
    ASSERT_TRUE(r.Link());
    int fd = r.client.Handle();
    loop.PostSocketEvent(fd, MessageLoop::kFdClose, c.error);
    PumpAWhile(loop);
    EXPECT_EQ(!r.errors.empty(), c.reported) << c.error;
    if (c.reported) {
      EXPECT_EQ(r.errors[0].text, Cp("Síťové spojení spadlo"));
    }
    EXPECT_EQ(r.closes, c.closed ? 1 : 0) << c.error;
    EXPECT_EQ(r.client.State(), c.closed ? AsyncSocket::Ready : AsyncSocket::Connected);
    EXPECT_EQ(r.client.Handle() == -1, c.closed) << c.error;
  }
}

TEST(ClientSocket, CloseShutsTheConnectionAndDestructionReleasesTheSocket) {
  MessageLoop loop;
  int fd;
  {
    Recorder r(loop);
    ASSERT_TRUE(r.Link());
    r.client.Close();
    EXPECT_EQ(r.client.State(), AsyncSocket::Ready);
    EXPECT_EQ(r.peer.Receive(1), "");  // the peer sees the end of the stream
    r.client.Close();                  // closing again does nothing
    EXPECT_TRUE(r.errors.empty());

    r.OpenTo("127.0.0.1", r.server.port());
    fd = r.client.Handle();
    ASSERT_GE(fd, 0);
  }
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
  EXPECT_EQ(errno, EBADF);
  PumpAWhile(loop);  // nothing left to deliver to the freed component
}

}  // namespace
}  // namespace zl
