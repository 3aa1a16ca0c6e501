#include "Broker.h"

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace zl::test {

using Json = nlohmann::json;
using SteadyClock = std::chrono::steady_clock;

namespace {

int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
}

bool Accepts(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

}  // namespace

Broker::Broker(const TempDir &dir, std::string mosquitto)
    : program_(std::move(mosquitto)), port_(FreePort()) {
  conf_ = dir.Write("mosquitto.conf", "listener " + std::to_string(port_) +
                                          " 127.0.0.1\nallow_anonymous true\npersistence false\n");
}

bool Broker::Start() {
  process_ = std::make_unique<ChildProcess>(program_, std::vector<std::string>{"-c", conf_});
  const auto deadline = SteadyClock::now() + std::chrono::seconds(static_cast<int>(kPatience));
  while (!Accepts(port_)) {
    if (SteadyClock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // polling a port, not a guess
  }
  return true;
}

void Broker::Stop() {
  if (!process_) return;
  process_->Signal(SIGTERM);
  process_->Wait(kPatience);
  process_.reset();
}

bool Subscriber::Start(int port, const std::string &pattern) {
  pattern_ = pattern;
  bridge::BrokerOptions o;
  o.Host = "127.0.0.1";
  o.Port = port;
  o.ClientId = "test-subscriber";
  std::string error;
  return mqtt_.Start(o, "test/subscriber", "gone", error);
}

void Subscriber::Take() {
  for (const bridge::MqttEvent &e : mqtt_.TakeEvents()) {
    if (e.What == bridge::MqttEvent::Kind::Connected && e.Code == 0) {
      ++Connects;
      mqtt_.Subscribe(pattern_);
    } else if (e.What == bridge::MqttEvent::Kind::Message) {
      if (OnMessage) OnMessage(e.Topic, e.Payload);
      Last[e.Topic] = e.Payload;
      if (e.Topic == ResultTopic) Results.push_back(Json::parse(e.Payload, nullptr, false));
    }
  }
}

bool Subscriber::WaitFor(const std::function<bool()> &pred, double seconds) {
  const auto deadline = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                                 std::chrono::duration<double>(seconds));
  for (;;) {
    Take();
    if (pred()) return true;
    if (SteadyClock::now() > deadline) return false;
    pollfd fd{mqtt_.EventFd(), POLLIN, 0};
    ::poll(&fd, 1, 50);
  }
}

void Subscriber::Publish(const std::string &topic, const std::string &payload) {
  mqtt_.Publish(topic, payload, false);
}

}  // namespace zl::test
