// AsyncSocket: the asynchronous socket component. It owns one IPv4 stream
// socket that never blocks, its state and its last error; ClientSocket adds
// the peer's address and the connect.
// Its connection, the arrival of data and the peer's close are reported as
// events on the thread of the MessageLoop it was built on (the host's thread),
// the way WinSock's asynchronous select reports them through a hidden window.
//
// Failures never throw: each goes through one error path that stores the
// WinSock number in LastError and calls OnError with the Czech text.
//
// Threads: everything runs on the loop's thread except SendText, which the
// communication thread may call while the host's thread opens, closes or
// receives; the socket handle is guarded so that a send never meets a handle
// being closed. Open and Close called from another thread are carried over to
// the loop's thread (MessageLoop::Send). An error met on another thread is
// stored at once and reported to OnError on the loop's thread. The component
// must be destroyed on the loop's thread, before the loop.
#ifndef ZL_NET_ASYNCSOCKET_H
#define ZL_NET_ASYNCSOCKET_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include <string>
#include <string_view>
#include "util/ThreadSafety.h"

#include "port/AsyncLookup.h"
#include "port/MessageLoop.h"
#include "port/Socket.h"

namespace zl {

class AsyncSocket {
 public:
  // State values.
  static constexpr uint8_t Unready = 0;     // start-up failed
  static constexpr uint8_t Ready = 1;       // started, no socket
  static constexpr uint8_t Connected = 2;   // connected
  static constexpr uint8_t Connecting = 4;  // a connect is under way (or has failed)

  using ErrorEvent = std::function<void(AsyncSocket &sender, int error, const std::string &msg)>;

  explicit AsyncSocket(MessageLoop &loop);
  virtual ~AsyncSocket();
  AsyncSocket(const AsyncSocket &) = delete;
  AsyncSocket &operator=(const AsyncSocket &) = delete;

  // Filled at start-up; read-only afterwards.
  std::string VersionText;  // "1.1"
  std::string Description;
  std::string SystemStatus;
  int MaxSockets = 0;
  int MaxUdpDatagram = 0;
  int Protocol = 0;  // for the service lookup of a port name
  int SocketType = kSockRaw;

  ErrorEvent OnError;

  uint8_t State() const { return state_.load(std::memory_order_acquire); }
  int Handle() const;
  int LastError() const { return lastError_.load(std::memory_order_acquire); }
  // How many send calls SendText has made so far.
  uint64_t SendCalls() const { return sendCalls_.load(std::memory_order_relaxed); }

  // Sends all of data, repeating from the first unsent byte. A full send
  // buffer is retried at once, at most 100 times; any other failure is
  // reported and ends the call. An empty text sends nothing. With no socket,
  // or one not yet connected, nothing is sent and nothing is reported (a
  // close or another gateway's connect may have just won).
  void SendText(std::string_view data);
  // Loop's thread: one recv of at most 1024 bytes (empty on failure; errors
  // other than would-block are reported). Re-arms the next FD_READ.
  std::string ReceiveText();
  // The local port of a socket as decimal text; empty for -1 or on failure.
  std::string LocalPort(int handle);
  std::string LocalHostName();
  // This host's IPv4 address, from its interfaces (no name lookup); empty
  // when it has none.
  std::string LocalHostAddress();
  // The Czech text of LastError.
  const std::string &SocketErrorText() const;

 protected:
  // The error path: LastError := code, then OnError on the loop's thread.
  void SocketError(int code);
  void SetState(uint8_t state) { state_.store(state, std::memory_order_release); }
  // Closes a still-open socket without any report (destruction).
  void ReleaseHandle();

  MessageLoop &loop_;
  // Guards handle_ where threads meet: SendText against Open and Close. Never
  // held across MessageLoop::Send or an event handler.
  mutable Mutex handleLock_;
  int handle_ = -1;
  // Scratch space for recv and for draining at close (loop's thread).
  char ReceiveBuffer[1024] = {};

 private:
  std::atomic<uint8_t> state_{Unready};
  std::atomic<int> lastError_{0};
  std::atomic<uint64_t> sendCalls_{0};
  // Cleared at destruction: reports posted from another thread check it.
  std::shared_ptr<std::atomic<bool>> alive_;
};

// ClientSocket: an AsyncSocket that connects to one peer (Host:Port) and
// reports the connect, arriving data and the close; it owns the peer's
// address and the pending name lookup.
class ClientSocket : public AsyncSocket {
 public:
  using SocketEvent = std::function<void(AsyncSocket &sender, int socket)>;

  explicit ClientSocket(MessageLoop &loop);
  ~ClientSocket() override;

  // The peer: a dotted address or a host name, and a decimal port or a
  // service name. Loop's thread.
  std::string Host;
  std::string Port;

  SocketEvent OnData;
  SocketEvent OnConnect;
  SocketEvent OnClose;

  // Starts a connection to Host:Port without blocking; does nothing unless
  // Ready (or while Host's name is being looked up). A connect that already
  // failed is closed and started afresh. A host name is looked up on a thread
  // of its own; the connect starts when its address comes (a failed lookup
  // is reported as an error then).
  void Open();
  // Stops the notifications, shuts the sending side, drains and closes.
  // Does nothing unless Connecting or Connected.
  void Close();

 private:
  // Port into a number and a dotted Host into an address; lookUpHost: Host
  // is a name, still to be looked up. Failures are reported.
  bool ResolveEndpoint(Ipv4Endpoint &to, bool &lookUpHost);
  // Creates the socket and starts the non-blocking connect.
  void ConnectTo(const Ipv4Endpoint &to);
  // The hidden window's procedure: one socket notification.
  void WindowProc(int fd, int event, int error);
  MessageLoop::SocketHandler Window();

  bool connectFailed_ = false;  // FD_CONNECT brought an error (loop's thread)
  AsyncLookup lookup_{loop_};   // the gateway's name (loop's thread)
};

// A decimal port number 0..65535, digits only.
bool ParsePortNumber(std::string_view text, uint16_t &port);

}  // namespace zl

#endif  // ZL_NET_ASYNCSOCKET_H
