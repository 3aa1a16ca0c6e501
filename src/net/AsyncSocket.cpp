#include "net/AsyncSocket.h"

#include "port/WinSockErrors.h"
#include "util/Texts.h"

namespace zl {
namespace {

constexpr int kMaxSendRetries = 100;
// A peer that keeps sending must not hold the host's thread in Close.
constexpr int kMaxDrainReceives = 256;

}  // namespace

bool ParsePortNumber(std::string_view text, uint16_t &port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 0xFFFF) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

// ---------------------------------------------------------------------------
// AsyncSocket

AsyncSocket::AsyncSocket(MessageLoop &loop)
    : loop_(loop), alive_(std::make_shared<std::atomic<bool>>(true)) {
  // Start-up: nothing to negotiate on this platform; the texts say what the
  // socket layer is. Without its message queue the component cannot work.
  if (loop_.Fd() < 0) {
    SocketError(kWsaSysnotready);
    return;
  }
  VersionText = "1.1";
  Description = SocketLayerDescription();
  SystemStatus = SocketLayerStatus();
  MaxSockets = SocketLayerMaxSockets();
  MaxUdpDatagram = SocketLayerMaxUdpDatagram();
  SetState(Ready);
}

AsyncSocket::~AsyncSocket() {
  alive_->store(false);
  ReleaseHandle();
}

void AsyncSocket::ReleaseHandle() {
  int fd;
  {
    std::lock_guard<std::mutex> lock(handleLock_);
    fd = handle_;
    handle_ = -1;
  }
  if (fd < 0) return;
  // The watch goes first: the descriptor's number may be reused at once.
  if (loop_.IsOwnerThread()) loop_.WatchSocket(fd, 0, nullptr);
  SocketCloseHandle(fd);
}

int AsyncSocket::Handle() const {
  std::lock_guard<std::mutex> lock(handleLock_);
  return handle_;
}

void AsyncSocket::SocketError(int code) {
  lastError_.store(code, std::memory_order_release);
  if (loop_.IsOwnerThread()) {
    if (OnError) OnError(*this, code, zl::SocketErrorText(code));
    return;
  }
  loop_.Post([this, alive = alive_, code] {
    if (alive->load() && OnError) OnError(*this, code, zl::SocketErrorText(code));
  });
}

const std::string &AsyncSocket::SocketErrorText() const {
  return zl::SocketErrorText(LastError());
}

void AsyncSocket::SendText(std::string_view data) {
  int error = 0;
  {
    std::lock_guard<std::mutex> lock(handleLock_);
    // Only into an established connection: a socket still connecting may be
    // another gateway's, opened by the host's thread since the caller saw the
    // old connection up, and a frame meant for the old line must not reach it.
    if (handle_ < 0 || State() != Connected) return;
    std::size_t done = 0;
    int retries = 0;
    while (done < data.size()) {
      std::size_t sent = 0;
      sendCalls_.fetch_add(1, std::memory_order_relaxed);
      int rc = SocketSend(handle_, data.data() + done, data.size() - done, sent);
      if (rc == 0) {
        done += sent;
      } else if (rc == kWsaEwouldblock) {
        if (++retries > kMaxSendRetries) break;
      } else {
        error = rc;
        break;
      }
    }
  }
  if (error) SocketError(error);
}

std::string AsyncSocket::ReceiveText() {
  int fd = Handle();
  std::size_t received = 0;
  int rc = SocketReceive(fd, ReceiveBuffer, sizeof ReceiveBuffer, received);
  if (fd >= 0 && loop_.IsOwnerThread()) loop_.ReadDone(fd);
  if (rc != 0) {
    if (rc != kWsaEwouldblock) SocketError(rc);
    return std::string();
  }
  return std::string(ReceiveBuffer, received);
}

std::string AsyncSocket::LocalPort(int handle) {
  uint16_t port = 0;
  if (handle < 0 || SocketLocalPort(handle, port) != 0) return std::string();
  return std::to_string(port);
}

std::string AsyncSocket::LocalHostName() {
  std::string name;
  if (int rc = LocalHostNameText(name)) SocketError(rc);
  return name;
}

// Taken from the interfaces, not by looking the host's name up: the lookup
// waits as long as a slow name server makes it, and this runs on the host's
// thread for a line of the status list only.
std::string AsyncSocket::LocalHostAddress() {
  uint32_t address = 0;
  if (!LocalInterfaceAddress(address)) return std::string();
  return Ipv4Text(address);
}

// ---------------------------------------------------------------------------
// ClientSocket

ClientSocket::ClientSocket(MessageLoop &loop) : AsyncSocket(loop) {
  Protocol = 6;  // TCP
  SocketType = kSockStream;
}

ClientSocket::~ClientSocket() {
  Close();
}

MessageLoop::SocketHandler ClientSocket::Window() {
  return [this](int fd, int event, int error) { WindowProc(fd, event, error); };
}

bool ClientSocket::ResolveEndpoint(Ipv4Endpoint &to, bool &lookUpHost) {
  std::string protocolName;
  if (int rc = ProtocolNameOf(Protocol, protocolName)) {
    SocketError(rc);
    return false;
  }
  if (!ServicePort(Port, protocolName, to.Port) && !ParsePortNumber(Port, to.Port)) {
    SocketError(kWsaEinval);  // neither a service nor a port number
    return false;
  }
  lookUpHost = !ParseIpv4Address(Host, to.Address);
  if (lookUpHost && (Host.empty() || Host.find('\0') != std::string::npos)) {
    SocketError(kWsaHostNotFound);  // no name to look up
    return false;
  }
  return true;
}

void ClientSocket::Open() {
  if (!loop_.IsOwnerThread()) {
    loop_.Send([this] { Open(); });
    return;
  }
  // A connect that failed leaves the socket Connecting until it is closed;
  // opening again means a fresh attempt.
  if (State() == Connecting && connectFailed_) Close();
  if (State() != Ready || lookup_.Running()) return;

  Ipv4Endpoint to;
  bool lookUpHost = false;
  if (!ResolveEndpoint(to, lookUpHost)) return;
  if (!lookUpHost) {
    ConnectTo(to);
    return;
  }
  // A host name: looked up off this thread (a slow name server must not hold
  // the host), the connection started when the address is known.
  lookup_.Start(Host, [this, to](int rc, uint32_t address) mutable {
    if (rc != 0) {
      SocketError(rc);
      return;
    }
    if (State() != Ready) return;
    to.Address = address;
    ConnectTo(to);
  });
}

void ClientSocket::ConnectTo(const Ipv4Endpoint &to) {
  int fd = -1;
  if (int rc = SocketCreate(SocketType, fd)) {
    SocketError(rc);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(handleLock_);
    handle_ = fd;
  }
  loop_.WatchSocket(fd, MessageLoop::kFdRead | MessageLoop::kFdConnect | MessageLoop::kFdClose,
                    Window());
  int rc = SocketSetOobInline(fd);
  int deferred = 0;
  if (rc == 0) {
    rc = SocketConnect(fd, to);
    if (rc == kWsaEwouldblock) {
      rc = 0;
    } else if (IsDeferredConnectError(rc)) {
      // WinSock reports these later, through FD_CONNECT.
      deferred = rc;
      rc = 0;
    }
  }
  if (rc != 0) {
    SocketError(rc);
    loop_.WatchSocket(fd, 0, nullptr);
    std::lock_guard<std::mutex> lock(handleLock_);
    SocketCloseHandle(fd);
    handle_ = -1;
    return;
  }
  connectFailed_ = false;
  SetState(Connecting);
  if (deferred) loop_.PostSocketEvent(fd, MessageLoop::kFdConnect, deferred);
}

void ClientSocket::Close() {
  // A lookup under way connects nothing any more.
  if (loop_.IsOwnerThread()) lookup_.Cancel();
  // Nothing to close: answered on any thread, without waiting for the host's
  // thread (which may be the one waiting for us, as in Done from elsewhere).
  uint8_t state = State();
  if (state == Unready || state == Ready) return;
  if (!loop_.IsOwnerThread()) {
    loop_.Send([this] { Close(); });
    return;
  }
  int rc = 0;
  {
    std::lock_guard<std::mutex> lock(handleLock_);
    int fd = handle_;
    if (fd < 0) return;
    loop_.WatchSocket(fd, 0, nullptr);
    rc = SocketShutdownSend(fd);
    if (rc == kWsaEnotconn) rc = 0;  // never connected, or the peer reset it
    if (rc == 0) {
      // Whatever is still on its way is read and dropped; the drain ends at
      // the peer's close or when nothing waits.
      for (int i = 0; i < kMaxDrainReceives; ++i) {
        std::size_t received = 0;
        if (SocketReceive(fd, ReceiveBuffer, sizeof ReceiveBuffer, received) != 0 ||
            received == 0) {
          break;
        }
      }
      rc = SocketCloseHandle(fd);
    }
    if (rc == 0) handle_ = -1;
  }
  if (rc != 0) {
    SocketError(rc);
    return;
  }
  connectFailed_ = false;
  SetState(Ready);
}

void ClientSocket::WindowProc(int fd, int event, int error) {
  if (State() == Ready) return;
  switch (event) {
    case MessageLoop::kFdRead:
      if (error) {
        SocketError(error);
      } else if (OnData) {
        OnData(*this, fd);
      }
      break;
    case MessageLoop::kFdConnect:
      if (error) {
        connectFailed_ = true;
        SocketError(error);
        break;
      }
      loop_.WatchSocket(fd, MessageLoop::kFdRead | MessageLoop::kFdClose, Window());
      // Connected before the handler runs, so that a frame sent as soon as
      // the handler reports the connection goes out.
      SetState(Connected);
      if (OnConnect) OnConnect(*this, fd);
      break;
    case MessageLoop::kFdClose:
      if (error == kWsaEnetdown) {
        SocketError(error);
        break;
      }
      if (OnClose) OnClose(*this, fd);
      Close();
      break;
    default:
      if (error) SocketError(error);
      break;
  }
}

}  // namespace zl
