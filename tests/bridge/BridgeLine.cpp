#include "BridgeLine.h"

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "zlpoll/ParamText.h"

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

Broker::Broker(const TempDir &dir) : port_(FreePort()) {
  conf_ = dir.Write("mosquitto.conf", "listener " + std::to_string(port_) +
                                          " 127.0.0.1\nallow_anonymous true\npersistence false\n");
}

bool Broker::Start() {
  process_ =
      std::make_unique<ChildProcess>(ZL_MOSQUITTO_PROGRAM, std::vector<std::string>{"-c", conf_});
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

void BridgeLine::SetUp() {
  std::string text = TempDir::Read(std::string(ZL_SOURCE_DIR) + "/examples/demo.par");
  ASSERT_FALSE(text.empty());
  // A quick line: no pause after an answer, a pass of the driver's thread
  // every millisecond.
  text = poll::SetGlobalValue(text, "ANSWER_TIME", "2.5");
  text = poll::SetGlobalValue(text, "SILENCE_WAIT", "0");
  text = poll::SetGlobalValue(text, "IDLE_TIME", "1");
  sim::SimOptions options;
  options.Ephemeral = true;
  options.Static = true;
  options.Seed = 11;
  std::string error;
  sim_ = sim::Simulator::FromParameterFile(dir_.Write("sim.par", text), options, error);
  ASSERT_TRUE(sim_) << error;
  ASSERT_TRUE(sim_->Start(error)) << error;
  par_ = dir_.Write("demo.par", sim::RewriteEndpoints(text, sim_->Mappings()));
  broker_ = std::make_unique<Broker>(dir_);
  ASSERT_TRUE(broker_->Start()) << "mosquitto did not listen on port " << broker_->Port();
  sub_.ResultTopic = std::string(kBase) + "/result";
  ASSERT_TRUE(sub_.Start(broker_->Port(), std::string(kBase) + "/#"));
  ASSERT_TRUE(sub_.WaitFor([&] { return sub_.Connects > 0; }));
}

void BridgeLine::TearDown() {
  if (bridge_) {
    bridge_->Signal(SIGTERM);
    const ChildResult r = bridge_->Wait(kPatience);
    EXPECT_EQ(r.Exit, 0) << r.Err;
    if (HasFailure() || std::getenv("ZL_BRIDGE_TRACE")) {
      std::string seen;
      for (const auto &[topic, payload] : sub_.Last) seen += topic + " " + payload + "\n";
      ADD_FAILURE() << "zlbridge said:\n" << r.Err << "the subscriber holds:\n" << seen;
    }
  }
  if (broker_) broker_->Stop();
  if (sim_) sim_->Stop();
}

void BridgeLine::StartBridge(const std::vector<std::string> &args) {
  std::vector<std::string> all = {
      par_, "--broker", "127.0.0.1", "--port", std::to_string(broker_->Port()), "--line", "test"};
  all.insert(all.end(), args.begin(), args.end());
  bridge_ = std::make_unique<ChildProcess>(
      ZLBRIDGE_PROGRAM, all,
      std::vector<std::string>{"ZLNETDRV_LIBRARY=" ZLNETDRV_LIBRARY_FILE,
                               "ZLNETDRV_DRIVE_C=" + dir_.path()});
  ASSERT_TRUE(bridge_->Started());
}

Json BridgeLine::Record(const std::string &station, const std::string &group,
                        const std::string &object) const {
  auto it = sub_.Last.find(std::string(kBase) + "/" + station + "/" + group + "/" + object);
  return it == sub_.Last.end() ? Json() : Json::parse(it->second, nullptr, false);
}

Json BridgeLine::Set(const std::string &topic, const std::string &payload) {
  const std::size_t before = sub_.Results.size();
  sub_.Publish(std::string(kBase) + "/" + topic + "/set", payload);
  if (!sub_.WaitFor([&] { return sub_.Results.size() > before; })) return Json();
  return sub_.Results.back();
}

}  // namespace zl::test
