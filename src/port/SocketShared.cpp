// What both socket layers share: WinSock's rules, in WinSock's numbers.
#include "port/Socket.h"

#ifdef _WIN32
#include <winsock.h>
#else
#include <sys/socket.h>
#endif

#include <atomic>

#include "port/WinSockErrors.h"

namespace zl {
namespace {

std::atomic<HostResolverFn> g_resolver{nullptr};

}  // namespace

void SetHostResolver(HostResolverFn fn) {
  g_resolver.store(fn);
}

int ResolveHostIpv4(const std::string &name, uint32_t &address) {
  // A name with a NUL in it would be cut short at the system's resolver.
  if (name.find('\0') != std::string::npos) return kWsaHostNotFound;
  if (HostResolverFn resolver = g_resolver.load()) return resolver(name, address);
  return SystemResolveHostIpv4(name, address);
}

bool IsDeferredConnectError(int wsaError) {
  switch (wsaError) {
    case kWsaEconnrefused:
    case kWsaEtimedout:
    case kWsaEnetunreach:
    case kWsaEhostunreach:
    case kWsaEhostdown:
    case kWsaEconnreset:
      return true;
    default:
      return false;
  }
}

int SystemSocketType(int socketType) {
  switch (socketType) {
    case kSockStream:
      return SOCK_STREAM;
    case kSockDgram:
      return SOCK_DGRAM;
    case kSockRaw:
      return SOCK_RAW;
    default:
      return -1;
  }
}

}  // namespace zl
