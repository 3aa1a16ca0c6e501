#include "net/GatewayClient.h"

#include <algorithm>

#include "util/Text.h"
#include "util/Texts.h"

namespace zl {
namespace {

constexpr uint8_t kKeepMode = 0xFE;  // SendFrame: leave the mode byte as it is
constexpr uint8_t kTransmitting = 1;

}  // namespace

GatewayClient::GatewayClient(MessageLoop &loop, DriverServices *statusMemo)
    : loop_(loop),
      alive_(std::make_shared<std::atomic<bool>>(true)),
      socket_(std::make_unique<ClientSocket>(loop)),
      statusMemo_(statusMemo) {
  socket_->OnError = [this](AsyncSocket &s, int e, const std::string &m) { SocketError(s, e, m); };
  socket_->OnConnect = [this](AsyncSocket &s, int fd) { SocketConnect(s, fd); };
  socket_->OnData = [this](AsyncSocket &s, int fd) { SocketData(s, fd); };
  socket_->OnClose = [this](AsyncSocket &s, int fd) { SocketClose(s, fd); };
  AddStatusLine(Say(TextId::SocketVersion) + socket_->VersionText);
  AddStatusLine(Say(TextId::SocketDescription) + socket_->Description);
  AddStatusLine(Say(TextId::SocketStatus) + socket_->SystemStatus);
  AddStatusLine(Say(TextId::LocalHostName) + socket_->LocalHostName());
  AddStatusLine(Say(TextId::LocalHostAddress) + socket_->LocalHostAddress());
  ClearReceived();
}

GatewayClient::~GatewayClient() {
  alive_->store(false);
  if (Connected()) Disconnect();
  socket_.reset();  // closes a socket still open, while the handlers' object lives
}

std::string GatewayClient::Host() const {
  std::lock_guard<std::mutex> lock(endpointLock_);
  return host_;
}

void GatewayClient::SetEndpoint(const std::string &host, int port) {
  {
    std::lock_guard<std::mutex> lock(endpointLock_);
    host_ = host;
  }
  port_.store(port);
}

bool GatewayClient::Connect() {
  std::string host = Host();
  std::string port = std::to_string(Port());
  // A connection to another gateway is closed first. Left open, it would stay
  // in use while Host and Port named the new gateway, and the new station
  // would be confirmed and polled over the old gateway's line.
  const uint8_t state = socket_->State();
  if ((state == AsyncSocket::Connecting || state == AsyncSocket::Connected) &&
      (socket_->Host != host || socket_->Port != port)) {
    Disconnect();
  }
  socket_->Host = host;
  socket_->Port = port;
  AddStatusLine(Say(TextId::Connecting) + host + Say(TextId::OnPort) + port);
  socket_->Open();
  if (socket_->State() != AsyncSocket::Connecting) return false;
  AddStatusLine(Say(TextId::SocketOpened));
  ClearReceived();
  opened_.store(true);
  return true;
}

void GatewayClient::Disconnect() {
  socket_->Close();
  connected_.store(false);
  AddStatusLine(Say(TextId::ConnectionClosed));
}

void GatewayClient::AddStatusLine(std::string_view text) {
  if (statusMemo_) statusMemo_->AddStatusLine(text);
}

int GatewayClient::ReceivedCount() {
  std::lock_guard<std::mutex> lock(receivedLock_);
  return static_cast<int>(std::min<std::size_t>(received_.size(), INT32_MAX));
}

// Takes from the store under its lock. When that brings a store whose socket
// was left unread down to half, the host's thread is asked to read the socket
// again: posting never waits, so the communication thread may ask while it
// holds its own locks.
template <class Take>
void GatewayClient::TakeFromStore(Take take) {
  {
    std::lock_guard<std::mutex> lock(receivedLock_);
    take();
    if (!readHeld_ || received_.size() > kReceiveHighWater / 2) return;
    readHeld_ = false;
  }
  loop_.Post([this, alive = alive_] {
    if (alive->load() && socket_->State() == AsyncSocket::Connected) {
      SocketData(*socket_, socket_->Handle());
    }
  });
}

// The reads wait for an append under way rather than skipping it: after
// ReceivedCount has promised n bytes, a read of n always gives n.
int GatewayClient::ReadByte(uint8_t &b) {
  TakeFromStore([&] {
    if (!received_.empty()) {
      b = received_.front();
      received_.pop_front();
    }
  });
  return 0;
}

Str255 GatewayClient::ReadBytes(uint16_t maxCount) {
  Str255 out;
  TakeFromStore([&] {
    // Only what the text can hold is taken; the rest stays for the next read.
    std::size_t n = std::min<std::size_t>({maxCount, received_.size(), Str255::Capacity});
    for (std::size_t i = 0; i < n; ++i) out.push_back(received_[i]);
    received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(n));
  });
  return out;
}

void GatewayClient::ClearReceived() {
  TakeFromStore([&] { received_.clear(); });
}

bool GatewayClient::ReadingHeld() {
  std::lock_guard<std::mutex> lock(receivedLock_);
  return readHeld_;
}

void GatewayClient::SendFrame(LineState &state, const Str255 &frame, uint8_t newMode) {
  if (newMode != kKeepMode) state.CycleState.store(newMode);
  if (Connected()) socket_->SendText(frame.view());
}

bool GatewayClient::CanTransmit(const LineState &state) {
  return !(state.CycleState.load() == kTransmitting && PendingOutput() > 0);
}

void GatewayClient::SocketError(AsyncSocket &, int error, const std::string &msg) {
  AddStatusLine(Say(TextId::TcpError) + std::to_string(error) + ": " + msg);
  errorFlag_.store(true);
}

void GatewayClient::SocketConnect(AsyncSocket &sender, int socket) {
  AddStatusLine(Say(TextId::ConnectedOnPort) + sender.LocalPort(socket));
  ClearReceived();
  connected_.store(true);
  opened_.store(false);
  errorFlag_.store(false);
}

void GatewayClient::SocketData(AsyncSocket &, int) {
  {
    // A full store: the socket stays unread (and its next read unarmed)
    // until the cycle has taken enough.
    std::lock_guard<std::mutex> lock(receivedLock_);
    if (received_.size() >= kReceiveHighWater) {
      readHeld_ = true;
      return;
    }
  }
  receiving_.store(1);
  std::string bytes = socket_->ReceiveText();
  {
    std::lock_guard<std::mutex> lock(receivedLock_);
    received_.insert(received_.end(), bytes.begin(), bytes.end());
  }
  receiving_.store(0);
  // The communication thread takes these bytes on its next pass: end its
  // IdleTime sleep now instead of leaving an answer waiting in the store.
  if (!bytes.empty() && statusMemo_) statusMemo_->Wake();
}

void GatewayClient::SocketClose(AsyncSocket &, int) {
  socket_->Close();
  connected_.store(false);
  AddStatusLine(Say(TextId::ClosedByServer));
}

}  // namespace zl
