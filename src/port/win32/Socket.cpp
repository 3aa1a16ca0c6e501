// The socket layer on Windows Sockets 1.1 (wsock32). WinSock reports its own
// error numbers, so failures pass through as they are. The loop's window makes
// every watched socket non-blocking (WSAAsyncSelect); sockets are made
// non-blocking at creation too, so that no call here ever waits.
#include "port/Socket.h"

#include <windows.h>
#include <winsock.h>

#include <climits>
#include <cstring>

#include "port/WinSockErrors.h"

namespace zl {
namespace {

SOCKET Handle(int fd) {
  return static_cast<SOCKET>(static_cast<unsigned>(fd));
}

int Chunk(std::size_t size) {
  return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

// What start-up agreed on: a start-up of its own, at once undone.
bool StartupData(WSADATA &data) {
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
  WSACleanup();
  return true;
}

}  // namespace

int SocketCreate(int socketType, int &fd) {
  fd = -1;
  int type = SystemSocketType(socketType);
  if (type < 0) return kWsaEsocktnosupport;
  SOCKET s = socket(AF_INET, type, 0);
  if (s == INVALID_SOCKET) return WSAGetLastError();
  // The rest of the driver holds sockets as int: socket handles are small
  // numbers, but one that does not fit is refused rather than cut.
  if (s > static_cast<SOCKET>(INT_MAX)) {
    closesocket(s);
    return kWsaEmfile;
  }
  u_long on = 1;
  if (ioctlsocket(s, FIONBIO, &on) != 0) {
    int error = WSAGetLastError();
    closesocket(s);
    return error;
  }
  // Not inherited by processes the host starts.
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  fd = static_cast<int>(s);
  return 0;
}

int SocketSetOobInline(int fd) {
  int on = -1;  // any non-zero value switches the option on
  if (setsockopt(Handle(fd), SOL_SOCKET, SO_OOBINLINE, reinterpret_cast<const char *>(&on),
                 sizeof on) != 0) {
    return WSAGetLastError();
  }
  return 0;
}

int SocketConnect(int fd, const Ipv4Endpoint &to) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = to.Address;
  a.sin_port = htons(to.Port);
  if (connect(Handle(fd), reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0) return 0;
  return WSAGetLastError();  // WSAEWOULDBLOCK while it is under way
}

int SocketSend(int fd, const char *data, std::size_t size, std::size_t &sent) {
  sent = 0;
  int n = send(Handle(fd), data, Chunk(size), 0);
  if (n == SOCKET_ERROR) return WSAGetLastError();
  sent = static_cast<std::size_t>(n);
  return 0;
}

int SocketReceive(int fd, char *buffer, std::size_t size, std::size_t &received) {
  received = 0;
  int n = recv(Handle(fd), buffer, Chunk(size), 0);
  if (n == SOCKET_ERROR) return WSAGetLastError();
  received = static_cast<std::size_t>(n);
  return 0;
}

int SocketShutdownSend(int fd) {
  if (shutdown(Handle(fd), 1 /* SD_SEND */) != 0) return WSAGetLastError();
  return 0;
}

int SocketCloseHandle(int fd) {
  if (closesocket(Handle(fd)) != 0) return WSAGetLastError();
  return 0;
}

int SocketLocalPort(int fd, uint16_t &port) {
  port = 0;
  sockaddr_in a{};
  int len = sizeof a;
  if (getsockname(Handle(fd), reinterpret_cast<sockaddr *>(&a), &len) != 0) {
    return WSAGetLastError();
  }
  if (a.sin_family != AF_INET) return kWsaEafnosupport;
  port = ntohs(a.sin_port);
  return 0;
}

int LocalHostNameText(std::string &name) {
  name.clear();
  char buffer[128] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0) return WSAGetLastError();
  name = buffer;
  return 0;
}

bool ParseIpv4Address(const std::string &text, uint32_t &address) {
  if (text.empty() || text.find('\0') != std::string::npos) return false;
  unsigned long a = inet_addr(text.c_str());
  // INADDR_NONE is also the broadcast address, when that is what is written.
  if (a == INADDR_NONE && text != "255.255.255.255") return false;
  address = static_cast<uint32_t>(a);
  return true;
}

// WinSock 1.1 knows this host's addresses only through its own name, which
// Windows resolves locally (hosts file, its own adapters) without asking a
// name server first. The first that is not a loopback address wins.
bool LocalInterfaceAddress(uint32_t &address) {
  char buffer[256] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0) return false;
  const hostent *host = gethostbyname(buffer);
  if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list)
    return false;
  bool found = false;
  for (char **p = host->h_addr_list; *p; ++p) {
    in_addr a;
    std::memcpy(&a, *p, sizeof a);
    address = a.s_addr;
    found = true;
    if ((ntohl(a.s_addr) >> 24) != 127) break;
  }
  return found;
}

int SystemResolveHostIpv4(const std::string &name, uint32_t &address) {
  const hostent *host = gethostbyname(name.c_str());
  if (!host) return WSAGetLastError();
  if (host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list ||
      !host->h_addr_list[0]) {
    return kWsaNoData;
  }
  in_addr a;
  std::memcpy(&a, host->h_addr_list[0], sizeof a);
  address = a.s_addr;
  return 0;
}

int ProtocolNameOf(int protocol, std::string &name) {
  const protoent *found = getprotobynumber(protocol);
  if (!found || !found->p_name) return WSAGetLastError();
  name = found->p_name;
  return 0;
}

bool ServicePort(const std::string &service, const std::string &protocol, uint16_t &port) {
  if (service.empty() || service.find('\0') != std::string::npos) return false;
  const servent *found = getservbyname(service.c_str(), protocol.c_str());
  if (!found) return false;
  port = ntohs(static_cast<uint16_t>(found->s_port));
  return true;
}

std::string Ipv4Text(uint32_t address) {
  in_addr a{};
  a.s_addr = address;
  const char *text = inet_ntoa(a);
  return text ? text : std::string();
}

std::string SocketLayerDescription() {
  WSADATA data{};
  return StartupData(data) ? std::string(data.szDescription) : std::string();
}

std::string SocketLayerStatus() {
  WSADATA data{};
  return StartupData(data) ? std::string(data.szSystemStatus) : std::string();
}

int SocketLayerMaxSockets() {
  WSADATA data{};
  return StartupData(data) ? data.iMaxSockets : 0;
}

int SocketLayerMaxUdpDatagram() {
  WSADATA data{};
  return StartupData(data) ? data.iMaxUdpDg : 0;
}

}  // namespace zl
