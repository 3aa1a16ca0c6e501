#include "port/Socket.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "port/WinSockErrors.h"

namespace zl {
namespace {

int LastSocketError() {
  return WinSockErrorFromErrno(errno);
}

// The protocols every TCP/IP stack has, for a system whose protocols database
// is missing (a minimal container): a lookup of "tcp" must not fail there.
const char *WellKnownProtocolName(int protocol) {
  switch (protocol) {
    case IPPROTO_IP:
      return "ip";
    case IPPROTO_TCP:
      return "tcp";
    case IPPROTO_UDP:
      return "udp";
    default:
      return nullptr;
  }
}

}  // namespace

int SocketCreate(int socketType, int &fd) {
  fd = -1;
  int type = SystemSocketType(socketType);
  if (type < 0) return kWsaEsocktnosupport;
  int s = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (s < 0) return LastSocketError();
  fd = s;
  return 0;
}

int SocketSetOobInline(int fd) {
  int on = -1;  // any non-zero value switches the option on
  if (::setsockopt(fd, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on) != 0) return LastSocketError();
  return 0;
}

int SocketConnect(int fd, const Ipv4Endpoint &to) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = to.Address;
  a.sin_port = htons(to.Port);
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) return 0;
  return LastSocketError();  // EINPROGRESS gives kWsaEwouldblock
}

int SocketSend(int fd, const char *data, std::size_t size, std::size_t &sent) {
  sent = 0;
  ssize_t n;
  do {
    n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return LastSocketError();
  sent = static_cast<std::size_t>(n);
  return 0;
}

int SocketReceive(int fd, char *buffer, std::size_t size, std::size_t &received) {
  received = 0;
  ssize_t n;
  do {
    n = ::recv(fd, buffer, size, MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return LastSocketError();
  received = static_cast<std::size_t>(n);
  return 0;
}

int SocketShutdownSend(int fd) {
  if (::shutdown(fd, SHUT_WR) != 0) return LastSocketError();
  return 0;
}

int SocketCloseHandle(int fd) {
  // Linux releases the descriptor even when close reports EINTR: never retry.
  if (::close(fd) != 0 && errno != EINTR) return LastSocketError();
  return 0;
}

int SocketLocalPort(int fd, uint16_t &port) {
  port = 0;
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) return LastSocketError();
  if (a.sin_family != AF_INET) return kWsaEafnosupport;
  port = ntohs(a.sin_port);
  return 0;
}

int LocalHostNameText(std::string &name) {
  name.clear();
  char buffer[128] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return LastSocketError();
  name = buffer;
  return 0;
}

bool LocalInterfaceAddress(uint32_t &address) {
  ifaddrs *list = nullptr;
  if (::getifaddrs(&list) != 0) return false;
  bool found = false, loopback = false;
  for (ifaddrs *p = list; p && !found; p = p->ifa_next) {
    if (!p->ifa_addr || p->ifa_addr->sa_family != AF_INET || !(p->ifa_flags & IFF_UP)) continue;
    const uint32_t a = reinterpret_cast<const sockaddr_in *>(p->ifa_addr)->sin_addr.s_addr;
    if (p->ifa_flags & IFF_LOOPBACK) {
      if (!loopback) address = a;
      loopback = true;
    } else {
      address = a;
      found = true;
    }
  }
  ::freeifaddrs(list);
  return found || loopback;
}

bool ParseIpv4Address(const std::string &text, uint32_t &address) {
  in_addr a{};
  if (text.empty() || text.find('\0') != std::string::npos) return false;
  if (::inet_aton(text.c_str(), &a) == 0) return false;
  address = a.s_addr;
  return true;
}

int SystemResolveHostIpv4(const std::string &name, uint32_t &address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *result = nullptr;
  int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
  if (rc != 0) return WinSockErrorFromResolver(rc, errno);
  int error = kWsaNoData;
  for (addrinfo *p = result; p; p = p->ai_next) {
    if (p->ai_family == AF_INET && p->ai_addr && p->ai_addrlen >= sizeof(sockaddr_in)) {
      address = reinterpret_cast<const sockaddr_in *>(p->ai_addr)->sin_addr.s_addr;
      error = 0;
      break;
    }
  }
  ::freeaddrinfo(result);
  return error;
}

int ProtocolNameOf(int protocol, std::string &name) {
  protoent entry{};
  protoent *found = nullptr;
  std::vector<char> buffer(1024);
  while (::getprotobynumber_r(protocol, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < 65536) {
    buffer.resize(buffer.size() * 2);
  }
  if (found && found->p_name) {
    name = found->p_name;
    return 0;
  }
  if (const char *known = WellKnownProtocolName(protocol)) {
    name = known;
    return 0;
  }
  return kWsaNoData;
}

bool ServicePort(const std::string &service, const std::string &protocol, uint16_t &port) {
  if (service.empty() || service.find('\0') != std::string::npos) return false;
  servent entry{};
  servent *found = nullptr;
  std::vector<char> buffer(1024);
  while (::getservbyname_r(service.c_str(), protocol.c_str(), &entry, buffer.data(), buffer.size(),
                           &found) == ERANGE &&
         buffer.size() < 65536) {
    buffer.resize(buffer.size() * 2);
  }
  if (!found) return false;
  port = ntohs(static_cast<uint16_t>(found->s_port));
  return true;
}

std::string Ipv4Text(uint32_t address) {
  in_addr a{};
  a.s_addr = address;
  char text[INET_ADDRSTRLEN] = {};
  if (!::inet_ntop(AF_INET, &a, text, sizeof text)) return std::string();
  return text;
}

std::string SocketLayerDescription() {
  std::string text = "BSD sockets, TCP/IPv4";
  utsname u{};
  if (::uname(&u) == 0) {
    text += " (";
    text += u.sysname;
    text += ' ';
    text += u.release;
    text += ')';
  }
  return text;
}

std::string SocketLayerStatus() {
  return "Running";
}

int SocketLayerMaxSockets() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0xFFFF;
  if (limit.rlim_cur == RLIM_INFINITY) return 0xFFFF;
  return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 0xFFFF));
}

int SocketLayerMaxUdpDatagram() {
  return 65507;
}

}  // namespace zl
