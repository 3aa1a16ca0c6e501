// Wake is called on every host request, thousands of times in one scan, so
// it only notifies when no wake is pending yet. These tests make sure that
// economy never loses a wake: every wake given after a sleep has ended still
// ends the next one.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "port/Thread.h"
#include "support/Sleeper.h"
#include "support/Timing.h"

namespace zl {
namespace {

using test::Sleeper;
using test::WaitUntil;

TEST(ThreadWake, EveryWakeAfterASleepEndedEndsTheNext) {
  Sleeper t;
  t.Resume();
  for (int i = 1; i <= 200; ++i) {
    t.Wake();
    ASSERT_TRUE(WaitUntil([&] { return t.sleepsEnded.load() >= i; })) << "wake " << i << " lost";
  }
}

TEST(ThreadWake, AStormOfWakesFromManyThreadsLosesNoneOfTheLast) {
  Sleeper t;
  t.Resume();
  std::atomic<bool> stop{false};
  std::vector<std::thread> wakers;
  for (int w = 0; w < 4; ++w) {
    wakers.emplace_back([&] {
      while (!stop.load()) t.Wake();
    });
  }
  ASSERT_TRUE(WaitUntil([&] { return t.sleepsEnded.load() >= 100; }));
  stop = true;
  for (std::thread &w : wakers) w.join();
  // The storm may leave one wake pending (the flag holds one); after it, each
  // wake must still end a sleep of its own.
  for (int round = 0; round < 5; ++round) {
    const int before = t.sleepsEnded.load();
    t.Wake();
    ASSERT_TRUE(WaitUntil([&] { return t.sleepsEnded.load() > before; })) << "round " << round;
  }
}

}  // namespace
}  // namespace zl
