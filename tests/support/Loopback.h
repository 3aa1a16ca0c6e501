// Real TCP peers on 127.0.0.1 for the transport tests: a listening socket on
// an ephemeral port, its accepted connections, and a pump that waits for a
// condition with a generous deadline.
#ifndef ZL_TESTS_SUPPORT_LOOPBACK_H
#define ZL_TESTS_SUPPORT_LOOPBACK_H

#include <functional>
#include <string>
#include <string_view>

#include "port/MessageLoop.h"

namespace zl::test {

// A blocking TCP socket accepted by a LoopbackListener (the gateway's end).
class LoopbackPeer {
 public:
  explicit LoopbackPeer(int fd = -1) : fd_(fd) {}
  ~LoopbackPeer();
  LoopbackPeer(LoopbackPeer &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  LoopbackPeer &operator=(LoopbackPeer &&other) noexcept;

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Sends every byte (blocking); false on failure.
  bool Send(std::string_view bytes);
  // Reads until count bytes have arrived or about five seconds have passed.
  std::string Receive(std::size_t count);
  // Closes with a reset (SO_LINGER 0) instead of a graceful close.
  void Reset();
  void Close();

 private:
  int fd_;
};

class LoopbackListener {
 public:
  LoopbackListener();
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener &) = delete;
  LoopbackListener &operator=(const LoopbackListener &) = delete;

  int port() const { return port_; }
  // Waits up to about five seconds for a connection.
  LoopbackPeer Accept();

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (a listener opened and closed).
int ClosedLoopbackPort();

// Pumps the loop (on its thread) until pred holds or about ten seconds pass.
bool PumpUntil(MessageLoop &loop, const std::function<bool()> &pred);
// Pumps for a few short rounds, to let anything pending arrive.
void PumpAWhile(MessageLoop &loop, int rounds = 5);

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_LOOPBACK_H
