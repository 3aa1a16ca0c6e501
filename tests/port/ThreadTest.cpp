#include "port/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "port/MessageLoop.h"
#include "support/Timing.h"

namespace zl {
namespace {

using std::chrono::milliseconds;
using test::WaitUntil;

// A thread whose Execute is given by the test.
class TestThread : public Thread {
 public:
  TestThread(MessageLoop *loop, std::function<void(TestThread &)> body)
      : Thread(loop), body_(std::move(body)) {}
  ~TestThread() override { Stop(); }
  using Thread::Pause;
  using Thread::Sleep;
  std::atomic<bool> executed{false};

 protected:
  void Execute() override {
    executed = true;
    body_(*this);
  }

 private:
  std::function<void(TestThread &)> body_;
};

TEST(Thread, StartsSuspendedAndRunsOnlyAfterResume) {
  std::atomic<int> turns{0};
  TestThread t(nullptr, [&](TestThread &self) {
    while (!self.Terminated()) {
      ++turns;
      self.Sleep(1);
    }
  });
  EXPECT_TRUE(t.Suspended());
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(turns.load(), 0);
  t.Resume();
  EXPECT_FALSE(t.Suspended());
  ASSERT_TRUE(WaitUntil([&] { return turns.load() > 0; }));
  t.Stop();
  EXPECT_TRUE(t.Finished());
}

TEST(Thread, StoppedBeforeResumeNeverExecutes) {
  TestThread t(nullptr, [](TestThread &) {});
  t.Stop();
  EXPECT_TRUE(t.Finished());
  EXPECT_FALSE(t.executed.load());
  t.Resume();  // too late: nothing happens
  EXPECT_FALSE(t.executed.load());
}

TEST(Thread, WakeAndTerminateEndALongSleep) {
  std::atomic<int> wakes{0};
  TestThread t(nullptr, [&](TestThread &self) {
    while (!self.Terminated()) {
      self.Sleep(600000);  // ten minutes: only Wake or Terminate ends it in time
      ++wakes;
    }
  });
  t.Resume();
  t.Wake();
  ASSERT_TRUE(WaitUntil([&] { return wakes.load() >= 1; }));
  t.Stop();  // would take ten minutes if Terminate did not end the sleep
  EXPECT_TRUE(t.Finished());
}

TEST(Thread, AWakeBeforeTheSleepIsKeptForIt) {
  std::atomic<bool> slept{false};
  std::atomic<bool> go{false};
  TestThread t(nullptr, [&](TestThread &self) {
    while (!go) self.Pause();
    self.Sleep(600000);
    slept = true;
    while (!self.Terminated()) self.Pause();
  });
  t.Resume();
  t.Wake();  // arrives while the thread is busy, not sleeping
  go = true;
  ASSERT_TRUE(WaitUntil([&] { return slept.load(); }));
}

TEST(Thread, SynchronizeRunsOnTheLoopOwnerAndWaitForServesIt) {
  MessageLoop loop;
  std::thread::id ranOn;
  std::atomic<bool> answered{false};
  TestThread t(&loop, [&](TestThread &self) {
    answered = self.Synchronize([&] { ranOn = std::this_thread::get_id(); });
    while (!self.Terminated()) self.Pause();
  });
  t.Resume();
  // The thread is blocked in Synchronize until the owner pumps.
  ASSERT_TRUE(WaitUntil([&] { return loop.PendingCount() > 0; }));
  t.Terminate();
  t.WaitFor();  // pumps: the call completes and the thread ends
  EXPECT_TRUE(t.Finished());
  EXPECT_TRUE(answered.load());
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(Thread, WaitForOnAnotherThreadCancelsTheBlockedCallWhichNeverRunsLater) {
  MessageLoop loop;  // owned by this thread, which does not pump while stopping
  std::atomic<int> answer{-1};
  std::atomic<bool> ran{false};
  TestThread t(&loop, [&](TestThread &self) {
    int local = 7;  // the call refers to the thread's stack
    answer = self.Synchronize([&] { ran = local == 7; }) ? 1 : 0;
    while (!self.Terminated()) self.Pause();
  });
  t.Resume();
  ASSERT_TRUE(WaitUntil([&] { return loop.PendingCount() > 0; }));
  std::thread stopper([&] { t.Stop(); });
  stopper.join();
  EXPECT_TRUE(t.Finished());
  EXPECT_EQ(answer.load(), 0);
  EXPECT_EQ(loop.Pump(0), 1);  // the message is still delivered, but its task is dropped
  EXPECT_FALSE(ran.load());
}

TEST(MessageLoopCancel, ReleasesWaitingSendersButLaterSendsWork) {
  MessageLoop loop;
  std::atomic<int> first{-1};
  std::thread sender([&] { first = loop.Send([] {}) ? 1 : 0; });
  ASSERT_TRUE(WaitUntil([&] { return loop.PendingCount() > 0; }));
  loop.CancelSends();
  sender.join();
  EXPECT_EQ(first.load(), 0);
  loop.Pump(0);

  std::atomic<int> second{-1};
  std::thread again([&] { second = loop.Send([] {}) ? 1 : 0; });
  ASSERT_TRUE(WaitUntil([&] {
    loop.Pump(1);
    return second.load() != -1;
  }));
  again.join();
  EXPECT_EQ(second.load(), 1);
}

}  // namespace
}  // namespace zl
