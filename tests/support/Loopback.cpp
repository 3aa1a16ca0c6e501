#include "support/Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace zl::test {

LoopbackPeer::~LoopbackPeer() {
  Close();
}

LoopbackPeer &LoopbackPeer::operator=(LoopbackPeer &&other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool LoopbackPeer::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string LoopbackPeer::Receive(std::size_t count) {
  std::string out;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char buf[4096];
    ssize_t n = ::recv(fd_, buf, std::min(sizeof buf, count - out.size()), 0);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

void LoopbackPeer::Reset() {
  if (fd_ < 0) return;
  linger l{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  Close();
}

void LoopbackPeer::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

LoopbackListener::LoopbackListener() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
      ::listen(fd_, 8) == 0 && ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len) == 0) {
    port_ = ntohs(a.sin_port);
  }
}

LoopbackListener::~LoopbackListener() {
  if (fd_ >= 0) ::close(fd_);
}

LoopbackPeer LoopbackListener::Accept() {
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, 5000) <= 0) return LoopbackPeer();
  return LoopbackPeer(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

int ClosedLoopbackPort() {
  LoopbackListener gone;
  return gone.port();
}

bool PumpUntil(MessageLoop &loop, const std::function<bool()> &pred) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) return pred();
    loop.Pump(10);
  }
  return true;
}

void PumpAWhile(MessageLoop &loop, int rounds) {
  for (int i = 0; i < rounds; ++i) loop.Pump(5);
}

}  // namespace zl::test
