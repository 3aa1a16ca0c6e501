// What both socket layers share: WinSock's rules, in WinSock's numbers.
#include "port/Socket.h"
#include "port/WinSockErrors.h"

namespace zl {

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

}  // namespace zl
