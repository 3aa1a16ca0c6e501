// The socket layer of the platform: every socket, resolver and services
// database call the driver makes, with failures given as WinSock numbers
// (port/WinSockErrors.h), so that the network code above speaks WinSock's
// language and knows nothing of Linux.
//
// Functions answer 0 on success or the WinSock number of the failure.
// IPv4 addresses are kept in network byte order, as resolvers give them;
// ports are plain numbers (host byte order).
// Every socket is non-blocking and close-on-exec; sending never raises SIGPIPE.
#ifndef ZL_PORT_SOCKET_H
#define ZL_PORT_SOCKET_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zl {

// The socket types the component knows (the numbers WinSock uses).
constexpr int kSockStream = 1;
constexpr int kSockDgram = 2;
constexpr int kSockRaw = 3;

// An IPv4 address (network byte order) and a port.
struct Ipv4Endpoint {
  uint32_t Address = 0;
  uint16_t Port = 0;
};

// socket(AF_INET, socketType, 0), non-blocking and close-on-exec.
int SocketCreate(int socketType, int &fd);
// The system's number for one of the socket types above; -1 for any other.
int SystemSocketType(int socketType);
// SO_OOBINLINE on: urgent data arrive inline with the rest.
int SocketSetOobInline(int fd);
// Starts a connect without blocking: 0 when it completed at once,
// kWsaEwouldblock while it is under way, else the failure.
int SocketConnect(int fd, const Ipv4Endpoint &to);
// True for a connect failure that WinSock reports later, through FD_CONNECT,
// rather than from the connect call (the peer refused, nothing answered, no
// route).
bool IsDeferredConnectError(int wsaError);
// One send; sent is what the call took (0 on failure).
int SocketSend(int fd, const char *data, std::size_t size, std::size_t &sent);
// One recv; received is what arrived (0 on failure and at the peer's close).
int SocketReceive(int fd, char *buffer, std::size_t size, std::size_t &received);
// shutdown(SD_SEND).
int SocketShutdownSend(int fd);
int SocketCloseHandle(int fd);
// The local port of a bound socket, in host byte order.
int SocketLocalPort(int fd, uint16_t &port);

// gethostname into a 128-byte buffer.
int LocalHostNameText(std::string &name);
// This host's own IPv4 address without any name lookup: the first interface
// that is up and not the loopback (else the loopback's); false when there is
// none.
bool LocalInterfaceAddress(uint32_t &address);
// A dotted IPv4 address (the forms inet_addr accepts), without any lookup.
bool ParseIpv4Address(const std::string &text, uint32_t &address);
// A name lookup for the first IPv4 address of a host. It may take as long
// as the name server does: the driver calls it only off the host's thread
// (AsyncLookup).
int ResolveHostIpv4(const std::string &name, uint32_t &address);
// Puts another lookup in the place of the system's (tests: a slow name
// server); nullptr restores the system's.
using HostResolverFn = int (*)(const std::string &name, uint32_t &address);
void SetHostResolver(HostResolverFn fn);
// The system's own lookup, each backend's (ResolveHostIpv4 without the hook).
int SystemResolveHostIpv4(const std::string &name, uint32_t &address);
// The name of a protocol number ("tcp" for 6) from the protocols database.
int ProtocolNameOf(int protocol, std::string &name);
// The port (host byte order) of a named service for a protocol, from the
// services database.
bool ServicePort(const std::string &service, const std::string &protocol, uint16_t &port);
// Dotted decimal text of an address.
std::string Ipv4Text(uint32_t address);

// What the socket layer is, for the start-up texts.
std::string SocketLayerDescription();
std::string SocketLayerStatus();
// The most sockets a process may hold, cut to 16 bits; the largest UDP datagram.
int SocketLayerMaxSockets();
int SocketLayerMaxUdpDatagram();

}  // namespace zl

#endif  // ZL_PORT_SOCKET_H
