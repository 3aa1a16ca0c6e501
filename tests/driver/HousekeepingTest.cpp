// The pass around the polling cycle: clocks, timers, labels, sleep
// countdowns, and the connection pass.
#include <mutex>

#include "support/EngineFixture.h"

#include "core/DriverInstance.h"
#include "core/RequestQueues.h"
#include "driver/CommPass.h"
#include "driver/Housekeeping.h"
#include "driver/PollingCycle.h"
#include "protocol/Reception.h"
#include "support/TestSupport.h"

namespace zl::test {
namespace {

class Pass : public EngineTest {
 protected:
  void SetUp() override { Load(); }
  void Tick(int ms) {
    clock_.Advance(ms);
    Housekeeping(Di(), queueStatusLabel_, activityLabel_);
  }
  double Timer(int i) { return FromReal6(Di().Polling.MsTimers[i]); }
};

TEST_F(Pass, ClocksAndTimersAdvanceByTheTimeSinceTheLastPass) {
  Di().PendingEvent = "left over";
  Tick(250);
  EXPECT_TRUE(Di().PendingEvent.empty());
  EXPECT_EQ(FromReal6(Di().Polling.SecondsSinceAnswer), 0.25);
  EXPECT_EQ(FromReal6(Di().Polling.SecondsSinceTransmit), 0.25);
  EXPECT_EQ(FromReal6(St(2).SecondsSinceAnswer), 0.25);
  for (int i = 1; i <= 12; ++i) {
    if (i == 9) continue;  // the activity timer restarted at 100 ms
    EXPECT_EQ(Timer(i), 250.0) << i;
  }
  EXPECT_EQ(Timer(9), 0.0);
  EXPECT_EQ(Di().Polling.LastTick, DayCentiseconds());
}

TEST_F(Pass, APassAcrossMidnightAddsNothing) {
  clock_.SetTime(23, 59, 59, 990);
  Tick(0);
  const double before = Timer(1);
  const double silence = FromReal6(Di().Polling.SecondsSinceAnswer);
  Tick(30);  // 00:00:00.02 the next day
  EXPECT_EQ(DayCentiseconds(), 2);
  EXPECT_EQ(Timer(1), before);
  EXPECT_EQ(FromReal6(Di().Polling.SecondsSinceAnswer), silence);
  Tick(10);
  EXPECT_EQ(Timer(1), before + 10.0);
}

TEST_F(Pass, ASleepOfTwoSecondsEndsOnTheFourthPassHalfASecondApart) {
  St(1).SleepRemaining = ToReal6(2.0);
  St(1).TimeoutRun = 5;
  for (int pass = 1; pass <= 3; ++pass) {
    Tick(500);
    EXPECT_GT(FromReal6(St(1).SleepRemaining), 0.0) << pass;
  }
  EXPECT_TRUE(Posted().empty());
  Tick(500);
  EXPECT_EQ(FromReal6(St(1).SleepRemaining), 0.0);
  EXPECT_EQ(St(1).TimeoutRun, 0);
  EXPECT_EQ(Posted(), std::vector<std::string>{"KOTELNA" + Cp(" - konec módu \"sleep\"")});
  Tick(500);
  EXPECT_EQ(Posted().size(), 1u);
}

TEST_F(Pass, TheQueueStatusIsShownAtMostOnceASecond) {
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  for (int i = 0; i < 9; ++i) Tick(100);
  EXPECT_EQ(queueStatusLabel_.Caption(), "");
  Tick(100);
  EXPECT_EQ(queueStatusLabel_.Caption(), Di().Queues.StatusText().str());
  Di().Queues.Enqueue(QueueId::Primary, 1, kWriteBinaryOutputs, 0);
  for (int i = 0; i < 9; ++i) {
    Tick(100);
    EXPECT_NE(queueStatusLabel_.Caption(), Di().Queues.StatusText().str());
  }
  Tick(100);
  EXPECT_EQ(queueStatusLabel_.Caption(), Di().Queues.StatusText().str());
}

TEST_F(Pass, TheActivityIndicatorStepsEvery100Milliseconds) {
  activityLabel_.SetCaption("klid");
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  const std::vector<std::string> expected = {"klid", "klid", "klid.", "klid.", "klid.."};
  for (const std::string &caption : expected) {
    EXPECT_EQ(activityLabel_.Caption(), caption);
    Tick(50);
  }
  Di().Queues.Clear(QueueId::Secondary);
  Tick(100);
  EXPECT_EQ(activityLabel_.Caption(), "klid");
}

TEST_F(Pass, ConnectionConfirmsOnlyStationsThatAskedForThisEndpoint) {
  struct Case {
    const char *what;
    std::string host;
    int port;
    bool asked1, asked2;
    bool online1, online2;
  } cases[] = {
      {"both asked", "127.0.0.1", 4001, true, true, true, true},
      {"only one asked", "127.0.0.1", 4001, true, false, true, false},
      {"another port", "127.0.0.1", 4002, true, true, false, false},
      {"the address must match exactly", "127.000.0.1", 4001, true, true, false, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    line_.host = c.host;
    line_.port = c.port;
    St(1).ConnectRequested = c.asked1;
    St(2).ConnectRequested = c.asked2;
    St(1).Online = St(2).Online = 0;
    Di().StationOnline = 0;
    ConnectionPass(Di(), line_);
    EXPECT_EQ(St(1).Online, c.online1);
    EXPECT_EQ(St(2).Online, c.online2);
    EXPECT_EQ(St(1).ConnectRequested, c.asked1 && !c.online1);
    EXPECT_EQ(Di().StationOnline.load(), c.online1 || c.online2);
  }
}

TEST_F(Pass, TheCycleStepsOnlyOnceAStationIsOnline) {
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  ConnectionPass(Di(), line_);
  EXPECT_TRUE(line_.sent.empty());
  St(1).ConnectRequested = 1;
  ConnectionPass(Di(), line_);
  EXPECT_EQ(line_.sent.size(), 1u);
}

TEST_F(Pass, ALostConnectionDropsEverythingQueuedAndReceived) {
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  Di().Queues.Enqueue(QueueId::Primary, 1, kWriteBinaryOutputs, 0);
  Di().Polling.PrefixWindow = kPrefix;
  Di().Polling.MessageBuffer = Bytes({kDriverAddress, 40});
  line_.Feed("late bytes");
  line_.connected = false;
  ConnectionPass(Di(), line_);
  EXPECT_EQ(Di().Queues.Count(QueueId::Primary), 0u);
  EXPECT_EQ(Di().Queues.Count(QueueId::Secondary), 0u);
  EXPECT_TRUE(line_.incoming.empty());
  EXPECT_TRUE(Di().Polling.PrefixWindow.empty());
  EXPECT_TRUE(Di().Polling.MessageBuffer.empty());
  // With nothing queued the receive store is left as it is.
  line_.Feed("x");
  ConnectionPass(Di(), line_);
  EXPECT_EQ(line_.incoming, "x");
}

TEST_F(Pass, APassDecodesOneAnswerAndShowsItsEventLine) {
  PassContext ctx{Di(), &line_, queueStatusLabel_, activityLabel_, memo_};
  StoreMessage(Di(), Answer(kKotelna, "B\x01\x01"));
  StoreMessage(Di(), Answer(kKotelna, "H"));
  clock_.Advance(10);
  RunPass(ctx);
  EXPECT_EQ(Di().Received.Count(), 1u);
  EXPECT_EQ(St(1).BinaryIn[0], 1);
  const auto lines = cfg_.Services.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], std::string(60, ' ') + "<<<-- KOTELNA - BI ");
  EXPECT_TRUE(Di().PendingEvent.empty());
}

}  // namespace
}  // namespace zl::test
