// The demonstration line served by the simulator in the test's process, a
// mosquitto broker on a free loopback port, zlbridge between them, and a
// subscriber.
#ifndef ZL_TESTS_BRIDGE_BRIDGELINE_H
#define ZL_TESTS_BRIDGE_BRIDGELINE_H

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Broker.h"
#include "support/ChildProcess.h"
#include "support/QuickDemoLine.h"
#include "support/TestSupport.h"
#include "zlsim/Simulator.h"

namespace zl::test {

class BridgeLine : public ::testing::Test {
 protected:
  static constexpr const char *kBase = "zlnetdrv/test";

  void SetUp() override;
  void TearDown() override;
  // zlbridge with the line's stations behind 127.0.0.1:4001 and args.
  void StartBridge(const std::vector<std::string> &args = {});

  sim::ControllerModel &Controller(int n) { return *line_.Sim->Station(n); }
  const StationConfig &Config(int n) const { return line_.Sim->Config().Stations[n - 1]; }
  // The record of an object, parsed; null when none arrived.
  nlohmann::json Record(const std::string &station, const std::string &group,
                        const std::string &object) const;
  // Publishes a set and waits for its result.
  nlohmann::json Set(const std::string &topic, const std::string &payload);

  TempDir dir_;
  QuickDemoLine line_;  // the simulator and the host's file
  std::unique_ptr<Broker> broker_;
  std::unique_ptr<ChildProcess> bridge_;
  Subscriber sub_;
};

}  // namespace zl::test

#endif  // ZL_TESTS_BRIDGE_BRIDGELINE_H
