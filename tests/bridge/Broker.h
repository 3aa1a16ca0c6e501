// A mosquitto broker on a free loopback port, run as a child process, and a
// subscriber that keeps the last message of every topic: what the bridge's
// tests and its benchmark talk to.
#ifndef ZL_TESTS_BRIDGE_BROKER_H
#define ZL_TESTS_BRIDGE_BROKER_H

#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "zlbridge/Mqtt.h"

namespace zl::test {

// Every wait is for a condition; this is only how long before a test gives up.
constexpr double kPatience = 60.0;

class Broker {
 public:
  // mosquitto: the program; the broker is configured in dir.
  Broker(const TempDir &dir, std::string mosquitto);
  bool Start();  // on the same port every time
  void Stop();
  int Port() const { return port_; }

 private:
  std::string program_, conf_;
  int port_ = 0;
  std::unique_ptr<ChildProcess> process_;
};

class Subscriber {
 public:
  bool Start(int port, const std::string &pattern);
  // Takes what arrived until pred holds; false after seconds.
  bool WaitFor(const std::function<bool()> &pred, double seconds = kPatience);
  // Called with every message as it arrives, before it is kept.
  std::function<void(const std::string &, const std::string &)> OnMessage;
  void Publish(const std::string &topic, const std::string &payload);

  std::map<std::string, std::string> Last;  // topic: payload
  std::vector<nlohmann::json> Results;      // the result topic, in order
  int Connects = 0;
  std::string ResultTopic;

 private:
  void Take();
  bridge::Mqtt mqtt_;
  std::string pattern_;
};

}  // namespace zl::test

#endif  // ZL_TESTS_BRIDGE_BROKER_H
