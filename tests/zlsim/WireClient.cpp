#include "WireClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace zl::test {

namespace {

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

WireClient::WireClient(uint16_t port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

WireClient::~WireClient() {
  if (fd_ >= 0) ::close(fd_);
}

void WireClient::Send(std::string_view bytes) {
  while (fd_ >= 0 && !bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

bool WireClient::Fill(int timeoutMs) {
  if (fd_ < 0 || closed_) return false;
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return false;
  char chunk[4096];
  ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
  if (n <= 0) {
    closed_ = true;
    return false;
  }
  ++reads_;
  buffer_.append(chunk, static_cast<std::size_t>(n));
  return true;
}

bool WireClient::Take(std::size_t n, std::string &out, int timeoutMs) {
  int64_t deadline = NowMs() + timeoutMs;
  while (buffer_.size() < n) {
    int64_t left = deadline - NowMs();
    if (left <= 0 || !Fill(static_cast<int>(left))) return false;
  }
  out.append(buffer_, 0, n);
  buffer_.erase(0, n);
  return true;
}

std::string WireClient::ReadMessage(std::string_view prefix, std::size_t suffixLength,
                                    std::string *skipped, int timeoutMs) {
  int64_t deadline = NowMs() + timeoutMs;
  auto left = [&] { return static_cast<int>(std::max<int64_t>(0, deadline - NowMs())); };
  std::string junk;
  while (true) {
    std::size_t at = buffer_.find(prefix);
    if (at != std::string::npos) {
      junk += buffer_.substr(0, at);
      buffer_.erase(0, at + prefix.size());
      break;
    }
    if (!Fill(left())) return {};
  }
  if (skipped) *skipped = junk;
  std::string message;
  if (!Take(2, message, left())) return {};
  if (!Take(static_cast<uint8_t>(message[1]), message, left())) return {};
  std::string suffix;
  if (!Take(suffixLength, suffix, left())) return {};
  return message;
}

bool WireClient::QuietFor(int ms) {
  std::size_t before = buffer_.size();
  int64_t deadline = NowMs() + ms;
  while (NowMs() < deadline) {
    if (!Fill(static_cast<int>(deadline - NowMs()))) break;
  }
  return buffer_.size() == before;
}

bool WireClient::ClosedByPeer(int timeoutMs) {
  int64_t deadline = NowMs() + timeoutMs;
  while (!closed_ && NowMs() < deadline) Fill(static_cast<int>(deadline - NowMs()));
  return closed_;
}

}  // namespace zl::test
