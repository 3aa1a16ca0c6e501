// The communication thread's loop, built directly on a DriverInstance with
// services that run everything on the calling thread.
#include "driver/CommThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "core/DriverInstance.h"
#include "driver/ParameterLoad.h"
#include "port/Clock.h"
#include "support/TestSupport.h"
#include "support/Timing.h"

namespace zl {
namespace {

using test::WaitUntil;
// Services that also report whether the thread was inside a pass when it
// posted an event line.
class ObservingServices : public test::FakeServices {
 public:
  explicit ObservingServices(DriverInstance &di) : di_(di) {}
  void PostEvent(std::string_view text) override {
    busyDuringCall = di_.CycleBusy.load();
    FakeServices::PostEvent(text);
  }
  std::atomic<int> busyDuringCall{-1};

 private:
  DriverInstance &di_;
};

class CommunicationThread : public ::testing::Test {
 protected:
  CommunicationThread() : services_(di_) { di_.Services = &services_; }

  std::unique_ptr<CommThread> Make(int32_t idleTime) {
    return std::make_unique<CommThread>(queueStatusLabel_, activityLabel_, memo_, &di_, nullptr,
                                        &idleGO_, idleTime, nullptr);
  }

  DriverInstance di_;
  ObservingServices services_;
  Label queueStatusLabel_{"Label1", 0, 0, Font{}};
  Label activityLabel_{"Label2", 0, 0, Font{}};
  Memo memo_{"EventList", 0, 0, 1, 1, Font{}};
  std::atomic<uint8_t> idleGO_{1};
};

TEST_F(CommunicationThread, ConstructionLeavesItSuspendedAndClearsOnDone) {
  di_.OnDone = 1;
  auto thread = Make(1);
  EXPECT_EQ(di_.OnDone.load(), 0);
  EXPECT_TRUE(thread->Suspended());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(thread->PassCount(), 0u);
  thread->Stop();  // never resumed: ends without a pass
  EXPECT_EQ(thread->PassCount(), 0u);
}

TEST_F(CommunicationThread, APassPostsItsEventLinesWhileCycleBusyIsSet) {
  // Station 1's sleep ends on the first pass after the clock moves: the pass
  // posts that line.
  ManualClock clock(test::At(12));
  SetClock(&clock);
  InitZavro(di_);
  di_.StationCount = 1;
  di_.StationAt(1)->Name = "ST1";
  di_.StationAt(1)->SleepRemaining = ToReal6(0.5);
  di_.Polling.LastTick = DayCentiseconds();
  auto thread = Make(1);
  thread->Resume();
  ASSERT_TRUE(WaitUntil([&] { return thread->PassCount() > 0; }));
  clock.Advance(1000);
  ASSERT_TRUE(WaitUntil([&] { return !services_.Posted().empty(); }));
  EXPECT_EQ(services_.busyDuringCall.load(), 1);  // CycleBusy is 1 during a pass
  thread->Stop();
  EXPECT_EQ(di_.CycleBusy.load(), 0);
  SetClock(nullptr);
}

TEST_F(CommunicationThread, IdleGOHoldsItIdleAndOnDoneStopsAllWork) {
  idleGO_ = 0;
  auto thread = Make(1);
  thread->Resume();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(thread->PassCount(), 0u);
  idleGO_ = 1;
  ASSERT_TRUE(WaitUntil([&] { return thread->PassCount() > 0; }));

  di_.OnDone = 1;
  // At most a pass that began before OnDone was seen still runs; then none.
  uint64_t stopped = thread->PassCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_LE(thread->PassCount(), stopped + 1);
  thread->Terminate();
  thread->WaitFor();
  EXPECT_TRUE(thread->Finished());
}

TEST_F(CommunicationThread, AWakeEndsTheIdleTimeSleepAndTerminateEndsTheLoop) {
  auto thread = Make(600000);  // ten minutes between passes
  thread->Resume();
  ASSERT_TRUE(WaitUntil([&] { return thread->PassCount() == 1; }));
  thread->Wake();
  ASSERT_TRUE(WaitUntil([&] { return thread->PassCount() == 2; }));
  thread->Stop();  // ends the sleep at once
  EXPECT_TRUE(thread->Finished());
}

TEST_F(CommunicationThread, WithIdleTimeZeroItNeverSleeps) {
  auto thread = Make(0);
  thread->Resume();
  // With any sleep of even one millisecond this would take more than the
  // two minutes allowed; without one, seconds even on a busy machine.
  EXPECT_TRUE(WaitUntil([&] { return thread->PassCount() >= 200000; }, 120000));
  thread->Stop();
}

}  // namespace
}  // namespace zl
