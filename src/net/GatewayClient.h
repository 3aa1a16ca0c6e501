// GatewayClient: the driver's one connection to the line gateway. It owns the
// asynchronous socket (ClientSocket), the receive store and the gateway's
// endpoint, behind the serial-port-like interface the communication cycle
// uses (LineClient).
// Bytes that arrive are kept in a receive store from which the cycle takes them
// one at a time or in runs; frames are sent whole. Connection events become
// lines of the status window's event list.
//
// Threads: built, connected, disconnected and destroyed on the host's thread,
// which also runs the socket's events (they append to the store, wake the
// communication thread and write the status lines). The communication thread
// reads the store (posting a read of the socket when a full store has drained),
// sends frames and reads Host, Port and Connected. The store has its own lock;
// the endpoint has another; the flags are atomics; sending and closing meet
// only under the socket's handle lock.
#ifndef ZL_NET_GATEWAYCLIENT_H
#define ZL_NET_GATEWAYCLIENT_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/Services.h"
#include "net/AsyncSocket.h"
#include "core/LineClient.h"
#include "port/MessageLoop.h"

namespace zl {

class GatewayClient : public LineClient {
 public:
  static constexpr const char *kDefaultHost = "127.0.0.1";
  static constexpr int kDefaultPort = 1998;
  // A gateway that sends faster than the cycle takes its bytes: from this many
  // stored bytes on, the socket is no longer read, so that TCP holds the
  // gateway back instead of the store growing without end. Reading resumes
  // once the cycle has taken the store down to half of it. Nothing is lost.
  static constexpr std::size_t kReceiveHighWater = 64 * 1024;

  // Creates the socket on the host's loop, binds its events and writes the
  // five status lines about the socket layer and this host. statusMemo may
  // be null (no lines are written then); it is also what the arrival of
  // bytes wakes the communication thread through.
  GatewayClient(MessageLoop &loop, DriverServices *statusMemo);
  // Disconnects first when connected (with its status line), then closes the
  // socket: the status memo must still be alive.
  ~GatewayClient() override;
  GatewayClient(const GatewayClient &) = delete;
  GatewayClient &operator=(const GatewayClient &) = delete;

  bool Connected() const override { return connected_.load(); }
  bool PollEnabled() const override { return pollEnabled_.load(); }
  std::string Host() const override;
  int Port() const override { return port_.load(); }
  void SetEndpoint(const std::string &host, int port) override;

  // Starts a connection to Host:Port; true when it is under way. A refusal
  // arrives later as an error line.
  bool Connect() override;
  void Disconnect() override;

  int ReceivedCount() override;
  int ReadByte(uint8_t &b) override;
  Str255 ReadBytes(uint16_t maxCount) override;
  void ClearReceived() override;

  void SendFrame(LineState &state, const Str255 &frame, uint8_t newMode) override;
  // Sends complete at once: nothing ever waits.
  int PendingOutput() override { return 0; }
  bool CanTransmit(const LineState &state) override;

  // Appends a line to the event list directly, outside its 12-line rule.
  void AddStatusLine(std::string_view text);

  bool ErrorFlag() const { return errorFlag_.load(); }
  bool Opened() const { return opened_.load(); }
  bool Receiving() const { return receiving_.load() != 0; }
  // The store is full and the socket is left unread for now.
  bool ReadingHeld();
  ClientSocket &Socket() { return *socket_; }

 private:
  // The socket's events (host's thread).
  void SocketError(AsyncSocket &sender, int error, const std::string &msg);
  void SocketConnect(AsyncSocket &sender, int socket);
  void SocketData(AsyncSocket &sender, int socket);
  void SocketClose(AsyncSocket &sender, int socket);
  // Any thread: runs take on the store under its lock, then has a socket left
  // unread read again once the store is down to half.
  template <class Take>
  void TakeFromStore(Take take);

  MessageLoop &loop_;
  std::shared_ptr<std::atomic<bool>> alive_;  // false once destroyed (posted reads)
  std::unique_ptr<ClientSocket> socket_;
  std::atomic<bool> errorFlag_{false};  // the socket reported an error
  std::atomic<bool> opened_{false};     // Connect started a connection
  std::atomic<bool> connected_{false};  // between the connect event and a close
  std::atomic<bool> pollEnabled_{true};
  mutable std::mutex endpointLock_;  // guards host_
  std::string host_ = kDefaultHost;
  std::atomic<int> port_{kDefaultPort};
  DriverServices *statusMemo_ = nullptr;
  std::mutex receivedLock_;            // guards received_
  std::deque<uint8_t> received_;       // oldest first
  bool readHeld_ = false;              // guarded by receivedLock_
  std::atomic<uint8_t> receiving_{0};  // the data handler is appending
};

}  // namespace zl

#endif  // ZL_NET_GATEWAYCLIENT_H
