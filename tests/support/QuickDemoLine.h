// The demonstration line for the tests that run a whole host against the
// simulator: examples/demo.par made quick (no pause after an answer, a pass of
// the driver's thread every millisecond), changed further by the test, served
// by the simulator on ephemeral ports, and the host's copy of the file
// pointing at them.
#ifndef ZL_TESTS_SUPPORT_QUICKDEMOLINE_H
#define ZL_TESTS_SUPPORT_QUICKDEMOLINE_H

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "support/TestSupport.h"
#include "zlsim/Simulator.h"

namespace zl::test {

// text with the first from replaced by to. A from that is not there fails the
// test: an edit that no longer matches demo.par would change nothing silently.
std::string Replaced(std::string text, std::string_view from, std::string_view to);

// demo.par's stations 1 and 2 without their PHONE numbers: their requests are
// retried until answered, and a binary output write is queued at once.
std::string WithoutPhones(std::string text);

struct QuickDemoLine {
  std::unique_ptr<sim::Simulator> Sim;  // started
  std::string HostFile;                 // the file the host loads, in dir

  // False with error when the simulator does not load the file or start.
  // options.Ephemeral is set: each test gets ports of its own.
  bool Start(const TempDir &dir, sim::SimOptions options,
             const std::function<std::string(std::string)> &edit, std::string &error);
  // The line of the tools' tests: values that do not move, seed 11, and
  // ANSWER_TIME answerTime.
  bool StartStatic(const TempDir &dir, const std::string &answerTime, std::string &error);
};

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_QUICKDEMOLINE_H
