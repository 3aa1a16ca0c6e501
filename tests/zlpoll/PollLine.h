// The demonstration line served by the simulator in the test's process, and
// zlpoll run against it as a child process, as a person or a script runs it.
#ifndef ZL_TESTS_ZLPOLL_POLLLINE_H
#define ZL_TESTS_ZLPOLL_POLLLINE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/Json.h"
#include "support/QuickDemoLine.h"
#include "support/TestSupport.h"
#include "zlpoll/ParamFile.h"
#include "zlsim/Simulator.h"

namespace zl::test {

class PollLine : public ::testing::Test {
 protected:
  // examples/demo.par with the given answer time, served with values that do
  // not move (a fixed seed) on ephemeral loopback ports; the file zlpoll gets
  // points at them.
  void Start(const std::string &answerTime = "2.5");
  void TearDown() override;

  // zlpoll with args, drive C: in the test's folder and the built library;
  // it waits for answers half as long as the test waits for it (--timeout),
  // unless args set a --timeout of their own.
  ChildResult Run(std::vector<std::string> args, double seconds = 60);
  // The same, parsed as one JSON object per line of standard output.
  std::vector<JsonValue> RunJson(std::vector<std::string> args, int expectedExit = 0);

  sim::ControllerModel &Controller(int n) { return *line_.Sim->Station(n); }
  const StationConfig &Config(int n) const { return *file_.At(n); }
  const std::string &Par() const { return line_.HostFile; }
  std::vector<std::string> Env() const;

  TempDir dir_;
  QuickDemoLine line_;  // the simulator and the host's file
  poll::ParamFile file_;
};

// The objects of a reading printed with --json, by group and object label.
const JsonValue *FindObject(const JsonValue &reading, const std::string &group,
                            const std::string &object);

}  // namespace zl::test

#endif  // ZL_TESTS_ZLPOLL_POLLLINE_H
