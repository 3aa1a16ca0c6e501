// The communication thread's wakes: passes run back to back while they
// advance, on a fake line and a clock that moves only when told. Running
// everything that can advance at once must still keep every time rule.
#include "support/EngineFixture.h"

#include "core/DriverInstance.h"
#include "core/RequestQueues.h"
#include "driver/CommPass.h"
#include "driver/PollingCycle.h"
#include "port/Clock.h"
#include "support/TestSupport.h"

namespace zl::test {
namespace {

class ThreadWake : public EngineTest {
 protected:
  void SetUp() override { Load(); }

  // What one wake of the thread does: passes while they advance.
  int Wake() {
    int passes = 1;
    while (RunPass(ctx_) && passes < 256) ++passes;
    return passes;
  }
  uint8_t State() { return Di().Line.CycleState.load(); }

  PassContext ctx_{Di(), &line_, queueStatusLabel_, activityLabel_, memo_};
};

// The whole answer is there at the first wake after the send: it is taken,
// decoded and the request settled in that wake, but the next frame still waits
// until the clock is past SILENCE_WAIT (50 ms), and the thread knows when.
TEST_F(ThreadWake, ThePauseIsKeptWhenTheAnswerArrivesAllAtOnce) {
  Di().StationOnline = 1;
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadCounters, 0);
  Wake();
  ASSERT_EQ(line_.sent.size(), 1u);
  EXPECT_EQ(State(), kCycleAwaitingAnswer);

  line_.Feed(Wire(Answer(kKotelna, Bytes({'B', 0}) + std::string(12, '\0'))));
  Wake();
  EXPECT_EQ(State(), kCyclePause);
  EXPECT_EQ(line_.incoming, kSuffix);                    // read only by the next wait
  EXPECT_EQ(Di().Received.Count(), 0u);                  // decoded in the same wake
  EXPECT_EQ(Di().Queues.Count(QueueId::Secondary), 1u);  // and settled
  EXPECT_EQ(MsToNextDeadline(Di(), 1000), 60);           // past 50 on the 10 ms clock

  clock_.Advance(50);
  Wake();
  EXPECT_EQ(State(), kCyclePause);
  EXPECT_EQ(line_.sent.size(), 1u);
  EXPECT_EQ(MsToNextDeadline(Di(), 1000), 10);

  clock_.Advance(10);
  Wake();
  ASSERT_EQ(line_.sent.size(), 2u);
  EXPECT_EQ(State(), kCycleAwaitingAnswer);
}

// While the request waits, the bytes of a long message of another kind keep
// arriving, one every 10 ms, so every wake advances; the time-out still comes
// at the first wake past ANSWER_TIME (1.0 s), once, and the partial message
// goes with it.
TEST_F(ThreadWake, TheTimeOutFiresOnTimeWhileAnotherMessageTricklesIn) {
  Di().StationOnline = 1;
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  Wake();
  ASSERT_EQ(line_.sent.size(), 1u);
  const std::string other = Wire(Answer(kKotelna, "Qq" + std::string(200, '\x01')));
  std::size_t fed = 0;
  for (int ms = 10; ms <= 1000; ms += 10) {
    line_.Feed(other.substr(fed++, 1));
    clock_.Advance(10);
    Wake();
    ASSERT_EQ(State(), kCycleAwaitingAnswer) << ms << " ms";
  }
  EXPECT_EQ(St(1).TimeoutTotal, 0);
  EXPECT_EQ(MsToNextDeadline(Di(), 1000), 10);
  line_.Feed(other.substr(fed++, 1));
  clock_.Advance(10);
  Wake();
  EXPECT_EQ(St(1).TimeoutTotal, 1);
  EXPECT_EQ(Posted().size(), 1u);  // the time-out's event line
  EXPECT_TRUE(line_.incoming.empty());
  EXPECT_TRUE(Di().Polling.MessageBuffer.empty());
  // The request is sent again at once: the time-out does not wait for a pause.
  EXPECT_EQ(line_.sent.size(), 2u);
  EXPECT_EQ(State(), kCycleAwaitingAnswer);
}

// Nothing to send, or only requests of a sleeping station: a wake ends after
// the pass that finds nothing to advance, so an idle thread sleeps instead of
// spinning between the idle state and its turn through state 2.
TEST_F(ThreadWake, AWakeWithNothingToAdvanceEndsAtOnce) {
  Di().StationOnline = 1;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Wake(), 1);
  St(1).SleepRemaining = ToReal6(60.0);
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  for (int i = 0; i < 3; ++i) EXPECT_LE(Wake(), 2);
  EXPECT_TRUE(line_.sent.empty());
  EXPECT_EQ(MsToNextDeadline(Di(), 1000), 1000);  // the sleep's end is far off
}

}  // namespace
}  // namespace zl::test
