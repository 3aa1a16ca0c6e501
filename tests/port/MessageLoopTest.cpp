#include "port/MessageLoop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <poll.h>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "port/WinSockErrors.h"

namespace zl {
namespace {

// A listening socket on 127.0.0.1 with an ephemeral port.
struct Listener {
  int fd = -1;
  int port = 0;
  Listener() {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::listen(fd, 4);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~Listener() { ::close(fd); }
  int Accept() { return ::accept(fd, nullptr, nullptr); }
};

int ConnectNonBlocking(int port, int *immediateErrno) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  int rc = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
  *immediateErrno = rc == 0 ? 0 : errno;
  return fd;
}

struct Event {
  int event;
  int error;
};

// Pumps until pred holds or about five seconds have passed.
template <class Pred>
bool PumpUntil(MessageLoop &loop, Pred pred) {
  for (int i = 0; i < 500 && !pred(); ++i) loop.Pump(10);
  return pred();
}

TEST(MessageLoop, RunsPostedTasksInOrderOnlyWhenPumped) {
  MessageLoop loop;
  std::vector<int> order;
  loop.Post([&] { order.push_back(1); });
  loop.Post([&] { order.push_back(2); });
  EXPECT_TRUE(order.empty());
  EXPECT_EQ(loop.Pump(0), 2);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(loop.Pump(0), 0);
}

TEST(MessageLoop, SendRunsOnTheOwnerThreadAndWaits) {
  MessageLoop loop;
  std::thread::id ranOn;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    EXPECT_TRUE(loop.Send([&] { ranOn = std::this_thread::get_id(); }));
    returned = true;
  });
  ASSERT_TRUE(PumpUntil(loop, [&] { return returned.load(); }));
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(MessageLoop, SendOnTheOwnerThreadRunsAtOnce) {
  MessageLoop loop;
  bool ran = false;
  EXPECT_TRUE(loop.Send([&] { ran = true; }));
  EXPECT_TRUE(ran);
}

TEST(MessageLoop, ShutdownReleasesAWaitingSender) {
  MessageLoop loop;
  std::atomic<int> result{-1};
  std::thread worker([&] { result = loop.Send([] {}) ? 1 : 0; });
  while (loop.PendingCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  loop.Shutdown();
  worker.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_FALSE(loop.Send([] {}) && false);
}

TEST(MessageLoop, FdIsReadableWhileMessagesWait) {
  MessageLoop loop;
  pollfd p{loop.Fd(), POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 0), 0);
  loop.Post([] {});
  EXPECT_EQ(::poll(&p, 1, 0), 1);
  loop.Pump(0);
  EXPECT_EQ(::poll(&p, 1, 0), 0);
}

TEST(MessageLoop, ReportsConnectDataOneShotAndClose) {
  MessageLoop loop;
  Listener server;
  int err = 0;
  int fd = ConnectNonBlocking(server.port, &err);
  std::vector<Event> events;
  std::string received;
  bool readAfterNotify = true;
  loop.WatchSocket(fd, MessageLoop::kFdRead | MessageLoop::kFdConnect | MessageLoop::kFdClose,
                   [&](int, int ev, int error) {
                     events.push_back({ev, error});
                     if (ev == MessageLoop::kFdRead && readAfterNotify) {
                       char buf[2];
                       ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                       if (n > 0) received.append(buf, n);
                       loop.ReadDone(fd);
                     }
                   });
  ASSERT_TRUE(PumpUntil(loop, [&] { return !events.empty(); }));
  EXPECT_EQ(events[0].event, MessageLoop::kFdConnect);
  EXPECT_EQ(events[0].error, 0);
  int peer = server.Accept();
  ASSERT_GE(peer, 0);
  ASSERT_EQ(::send(peer, "hello", 5, 0), 5);
  // Two bytes per recv: a notification follows while data remain.
  ASSERT_TRUE(PumpUntil(loop, [&] { return received.size() == 5; }));
  EXPECT_EQ(received, "hello");
  ::close(peer);
  ASSERT_TRUE(PumpUntil(loop, [&] { return events.back().event == MessageLoop::kFdClose; }));
  EXPECT_EQ(events.back().error, 0);
  loop.WatchSocket(fd, 0, nullptr);
  ::close(fd);
}

// A host that pumps only when the descriptor is readable still sees the
// connect complete: the new watch makes the descriptor readable at once.
TEST(MessageLoop, AHostPollingTheDescriptorSeesTheConnect) {
  MessageLoop loop;
  Listener server;
  int err = 0;
  int fd = ConnectNonBlocking(server.port, &err);
  bool connected = false;
  loop.WatchSocket(fd, MessageLoop::kFdRead | MessageLoop::kFdConnect | MessageLoop::kFdClose,
                   [&](int, int ev, int error) {
                     connected = connected || (ev == MessageLoop::kFdConnect && error == 0);
                   });
  for (int i = 0; i < 20 && !connected; ++i) {
    pollfd p{loop.Fd(), POLLIN, 0};
    if (::poll(&p, 1, 500) == 1) loop.Pump(0);
  }
  EXPECT_TRUE(connected);
  loop.WatchSocket(fd, 0, nullptr);
  ::close(fd);
}

TEST(MessageLoop, NoSecondReadNotificationWithoutRecv) {
  MessageLoop loop;
  Listener server;
  int err = 0;
  int fd = ConnectNonBlocking(server.port, &err);
  int reads = 0;
  loop.WatchSocket(fd, MessageLoop::kFdRead | MessageLoop::kFdConnect | MessageLoop::kFdClose,
                   [&](int, int ev, int) { reads += ev == MessageLoop::kFdRead; });
  int peer = server.Accept();
  ::send(peer, "x", 1, 0);
  ASSERT_TRUE(PumpUntil(loop, [&] { return reads == 1; }));
  for (int i = 0; i < 5; ++i) loop.Pump(5);
  EXPECT_EQ(reads, 1);
  char c;
  ::recv(fd, &c, 1, 0);
  ::send(peer, "y", 1, 0);
  loop.ReadDone(fd);
  ASSERT_TRUE(PumpUntil(loop, [&] { return reads == 2; }));
  ::close(peer);
  loop.WatchSocket(fd, 0, nullptr);
  ::close(fd);
}

TEST(MessageLoop, RefusedConnectArrivesAsConnectError) {
  MessageLoop loop;
  int port;
  {
    Listener closed;
    port = closed.port;
  }
  int err = 0;
  int fd = ConnectNonBlocking(port, &err);
  std::vector<Event> events;
  loop.WatchSocket(fd, MessageLoop::kFdRead | MessageLoop::kFdConnect | MessageLoop::kFdClose,
                   [&](int, int ev, int error) {
                     events.push_back({ev, error});
                   });
  if (err != EINPROGRESS && err != 0) {
    loop.PostSocketEvent(fd, MessageLoop::kFdConnect, WinSockErrorFromErrno(err));
  }
  ASSERT_TRUE(PumpUntil(loop, [&] { return !events.empty(); }));
  EXPECT_EQ(events[0].event, MessageLoop::kFdConnect);
  EXPECT_EQ(events[0].error, kWsaEconnrefused);
  for (int i = 0; i < 3; ++i) loop.Pump(5);
  EXPECT_EQ(events.size(), 1u);
  loop.WatchSocket(fd, 0, nullptr);
  ::close(fd);
}

}  // namespace
}  // namespace zl
