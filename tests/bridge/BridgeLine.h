// The demonstration line served by the simulator in the test's process, a
// mosquitto broker on a free loopback port, zlbridge between them, and a
// subscriber that keeps the last message of every topic.
#ifndef ZL_TESTS_BRIDGE_BRIDGELINE_H
#define ZL_TESTS_BRIDGE_BRIDGELINE_H

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "zlbridge/Mqtt.h"
#include "zlsim/Simulator.h"

namespace zl::test {

// Every wait is for a condition; this is only how long before a test gives up.
constexpr double kPatience = 60.0;

class Broker {
 public:
  explicit Broker(const TempDir &dir);
  bool Start();  // on the same port every time
  void Stop();
  int Port() const { return port_; }

 private:
  std::string conf_;
  int port_ = 0;
  std::unique_ptr<ChildProcess> process_;
};

class Subscriber {
 public:
  bool Start(int port, const std::string &pattern);
  // Takes what arrived until pred holds; false after seconds.
  bool WaitFor(const std::function<bool()> &pred, double seconds = kPatience);
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

class BridgeLine : public ::testing::Test {
 protected:
  static constexpr const char *kBase = "zlnetdrv/test";

  void SetUp() override;
  void TearDown() override;
  // zlbridge with the line's stations behind 127.0.0.1:4001 and args.
  void StartBridge(const std::vector<std::string> &args = {});

  sim::ControllerModel &Controller(int n) { return *sim_->Station(n); }
  const StationConfig &Config(int n) const { return sim_->Config().Stations[n - 1]; }
  // The record of an object, parsed; null when none arrived.
  nlohmann::json Record(const std::string &station, const std::string &group,
                        const std::string &object) const;
  // Publishes a set and waits for its result.
  nlohmann::json Set(const std::string &topic, const std::string &payload);

  TempDir dir_;
  std::unique_ptr<sim::Simulator> sim_;
  std::string par_;
  std::unique_ptr<Broker> broker_;
  std::unique_ptr<ChildProcess> bridge_;
  Subscriber sub_;
};

}  // namespace zl::test

#endif  // ZL_TESTS_BRIDGE_BRIDGELINE_H
