// The polling cycle, one state at a time, with a fake line, services that run
// the synchronised calls at once, and a clock that moves only when told.
#include <mutex>

#include "support/EngineFixture.h"

#include "core/DriverInstance.h"
#include "core/RequestQueues.h"
#include "driver/Housekeeping.h"
#include "driver/PollingCycle.h"
#include "port/Clock.h"
#include "protocol/Reception.h"
#include "protocol/RequestFrames.h"
#include "support/TestSupport.h"
#include "util/Encodings.h"

namespace zl::test {
namespace {

class PollingCycle : public EngineTest {
 protected:
  void SetUp() override { Load(); }

  uint8_t State() { return Di().Line.CycleState.load(); }
  void Step() { CycleStep(Di(), line_); }
  // Lets ms milliseconds pass and runs the housekeeping that counts them.
  void Tick(int ms) {
    clock_.Advance(ms);
    Housekeeping(Di(), queueStatusLabel_, activityLabel_);
  }
  // Steps until the cycle reaches the state (at most limit steps).
  bool StepUntil(uint8_t state, int limit = 400) {
    for (int i = 0; i < limit && State() != state; ++i) Step();
    return State() == state;
  }
  // One exchange that gets no answer: send, wait past ANSWER_TIME, report.
  void TimeOutOnce() {
    ASSERT_EQ(State(), kCycleIdle);
    Step();
    ASSERT_EQ(State(), kCycleTransmitting);
    Step();
    Tick(1100);
    Step();
    ASSERT_EQ(State(), kCycleTimeout);
    Step();
    ASSERT_EQ(State(), kCycleIdle);
  }
  // The queue's requests as (station, kind) pairs, head first.
  std::vector<std::pair<int, int>> Queue(QueueId q) {
    std::vector<std::pair<int, int>> out;
    for (const QueuedRequest &r : Di().Queues.Snapshot(q)) out.emplace_back(r.Station, r.Kind);
    return out;
  }
  std::string FrameOf(int station, int kind, std::string_view data = {}) {
    return BuildRequestFrame(Di(), QueuedRequest{static_cast<uint8_t>(station), kind, 0,
                                                 Str255(data), nullptr, 0})
        .str();
  }
  bool PostedContains(const std::string &line) {
    for (const std::string &p : Posted())
      if (p == line) return true;
    return false;
  }
};

using Pairs = std::vector<std::pair<int, int>>;

TEST_F(PollingCycle, AWriteGoesBeforeAnyRead) {
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  Di().Queues.Enqueue(QueueId::Primary, 1, kWriteBinaryOutputs, 0);
  Step();
  ASSERT_EQ(line_.sent.size(), 1u);
  const std::string frame = FrameOf(1, kWriteBinaryOutputs);
  EXPECT_EQ(line_.sent[0], frame);
  EXPECT_EQ(State(), kCycleTransmitting);
  EXPECT_EQ(Di().Polling.PrimarySent, 1);
  EXPECT_EQ(Di().Polling.SecondarySent, 0);
  EXPECT_EQ(Di().Polling.AwaitingAnswer, 1);
  EXPECT_EQ(Di().Polling.TransmitFrame.str(), frame);
  EXPECT_EQ(Di().Polling.LastRequestFrame.str(), frame);
  EXPECT_EQ(Di().Polling.CurrentStation, 1);
  EXPECT_EQ(Di().Polling.CurrentKind, kWriteBinaryOutputs);
  EXPECT_EQ(St(1).Busy, 1);
  EXPECT_EQ(St(1).RequestCount, 1);

  Step();
  EXPECT_EQ(State(), kCycleAwaitingAnswer);
  line_.Feed(Wire(Answer(kKotelna, Bytes({'b', 3, 0, 0}))));
  ASSERT_TRUE(StepUntil(kCyclePause));
  EXPECT_EQ(Queue(QueueId::Primary), Pairs{});
  EXPECT_EQ(Queue(QueueId::Secondary), (Pairs{{1, kReadBinaryInputs}}));
  EXPECT_EQ(St(1).Busy, 0);
  EXPECT_EQ(Di().Polling.AwaitingAnswer, 0);
  EXPECT_EQ(Di().Received.Count(), 1u);
  const std::string log = Log();
  for (const char *line : {"prstynek : station NOT sleep -> lets go / priority",
                           "prstynek : transmit now", "TRANSMIT : END"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  EXPECT_NE(log.find("hex : " + HexOf(frame) + " \r\n"), std::string::npos);
}

TEST_F(PollingCycle, WritesForSleepingStationsGoRoundOnceAndAReadGoesInstead) {
  St(1).SleepRemaining = ToReal6(30);
  Di().Queues.Enqueue(QueueId::Primary, 1, kWriteBinaryOutputs, 0);
  Di().Queues.Enqueue(QueueId::Primary, 1, kWriteMemoryOutputs, 0);
  Di().Queues.Enqueue(QueueId::Primary, 1, kWriteMemoryOutput, 1);
  Di().Queues.Enqueue(QueueId::Secondary, 2, kReadBinaryInputs, 0);
  Step();
  EXPECT_EQ(Queue(QueueId::Primary),
            (Pairs{{1, kWriteBinaryOutputs}, {1, kWriteMemoryOutputs}, {1, kWriteMemoryOutput}}));
  ASSERT_EQ(line_.sent.size(), 1u);
  EXPECT_EQ(line_.sent[0], FrameOf(2, kReadBinaryInputs));
  EXPECT_EQ(Di().Polling.PrimarySent, 0);
  EXPECT_EQ(Di().Polling.SecondarySent, 1);
  EXPECT_EQ(Di().Polling.CurrentStation, 2);
}

TEST_F(PollingCycle, ASleepingHeadIsPassedOverForAnAwakeStation) {
  St(1).SleepRemaining = ToReal6(30);
  Di().Queues.Enqueue(QueueId::Primary, 1, kWriteBinaryOutputs, 0);
  Di().Queues.Enqueue(QueueId::Primary, 2, kWriteBinaryOutputs, 0);
  Step();
  EXPECT_EQ(line_.sent.at(0), FrameOf(2, kWriteBinaryOutputs));
  EXPECT_EQ(Queue(QueueId::Primary), (Pairs{{2, kWriteBinaryOutputs}, {1, kWriteBinaryOutputs}}));
}

TEST_F(PollingCycle, TheAnswerTimeRunsOutOnTheFirstStepPastIt) {
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  Step();
  Step();
  line_.Feed(std::string(10, 'x'));  // stray bytes: what the hunt has not taken is thrown away
  for (int ms : {500, 500}) {
    Tick(ms);
    Step();
    EXPECT_EQ(State(), kCycleAwaitingAnswer);  // 1.0 s is not past ANSWER_TIME 1.0
  }
  Tick(10);
  Step();
  EXPECT_EQ(State(), kCycleTimeout);
  EXPECT_EQ(St(1).FailCount, 1);
  EXPECT_EQ(St(1).Busy, 0);
  EXPECT_TRUE(Posted().empty());

  Step();
  EXPECT_EQ(State(), kCycleIdle);
  ASSERT_EQ(Posted().size(), 1u);
  EXPECT_EQ(Posted()[0], "KOTELNA" + Cp(" - překročení času (") + DateTimeText() + ")");
  EXPECT_EQ(St(1).TimeoutRun, 1);
  EXPECT_EQ(St(1).TimeoutTotal, 1);
  EXPECT_TRUE(line_.incoming.empty());
  EXPECT_EQ(Queue(QueueId::Secondary), (Pairs{{1, kReadBinaryInputs}}));
}

// The host may set the counters to anything; counting on wraps them round
// instead of overflowing.
TEST_F(PollingCycle, TheRequestAndTimeOutCountersWrapRound) {
  St(1).RequestCount = INT32_MAX;
  St(1).TimeoutTotal = INT32_MAX;
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  TimeOutOnce();
  EXPECT_EQ(St(1).RequestCount, INT32_MIN);
  EXPECT_EQ(St(1).TimeoutTotal, INT32_MIN);
}

TEST_F(PollingCycle, AStationWithoutAPhoneIsRetriedBehindOthersAndSleepsAfterSleepCount) {
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadCounters, 0);
  TimeOutOnce();
  EXPECT_EQ(Queue(QueueId::Secondary), (Pairs{{1, kReadCounters}, {1, kReadBinaryInputs}}));
  TimeOutOnce();
  EXPECT_EQ(Queue(QueueId::Secondary), (Pairs{{1, kReadBinaryInputs}, {1, kReadCounters}}));
  EXPECT_EQ(FromReal6(St(1).SleepRemaining), 0.0);
  TimeOutOnce();  // the third in a row: SLEEP_COUNT 3
  EXPECT_EQ(St(1).TimeoutTotal, 3);
  EXPECT_EQ(St(1).TimeoutRun, 3);
  EXPECT_EQ(FromReal6(St(1).SleepRemaining), 60.0);
  EXPECT_EQ(Posted().back(), "KOTELNA" + Cp(" - start módu \"sleep\""));
  EXPECT_EQ(Queue(QueueId::Secondary).size(), 2u);

  // Asleep: its requests stay queued and nothing is sent.
  const std::size_t sent = line_.sent.size();
  Step();
  Step();
  EXPECT_EQ(line_.sent.size(), sent);
  EXPECT_EQ(State(), kCycleIdle);
  EXPECT_EQ(Queue(QueueId::Secondary).size(), 2u);
}

TEST_F(PollingCycle, AStationWithAPhoneLosesItsRequestAtTheFailureLimit) {
  for (bool stay : {false, true}) {
    SCOPED_TRACE(stay ? "STAY_IN_QUEUE_ON_TIMEOUT" : "default");
    Di().Global.StayInQueueOnTimeout = stay;
    St(2).FailCount = 0;
    St(2).Fault = 0;
    Di().Queues.Clear(QueueId::Secondary);
    Di().Queues.Enqueue(QueueId::Secondary, 2, kReadBinaryInputs, 0);
    Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
    TimeOutOnce();  // NUM_TOLVIN_ERROR 1: the first time-out reaches it
    if (stay) {
      EXPECT_EQ(Queue(QueueId::Secondary), (Pairs{{2, kReadBinaryInputs}, {1, kReadBinaryInputs}}));
      EXPECT_EQ(St(2).FailCount, 1);
      EXPECT_EQ(St(2).Fault, 0);
    } else {
      EXPECT_EQ(Queue(QueueId::Secondary), (Pairs{{1, kReadBinaryInputs}}));
      EXPECT_EQ(St(2).FailCount, 0);
      EXPECT_EQ(St(2).Fault, 1);
    }
  }
}

TEST_F(PollingCycle, TheAnswerRuleForStationsWithAPhone) {
  struct Case {
    const char *what;
    uint8_t failCount, fault;
    Pairs queueAfter;
    uint8_t failCountAfter, faultAfter;
  } cases[] = {
      {"below the limit", 0, 0, {{1, kReadBinaryInputs}}, 0, 0},
      {"below the limit with a fault: tried again later",
       0,
       1,
       {{1, kReadBinaryInputs}, {2, kReadBinaryInputs}},
       0,
       1},
      {"at the limit", 1, 0, {{1, kReadBinaryInputs}}, 0, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Di().Queues.Clear(QueueId::Secondary);
    Di().Queues.Enqueue(QueueId::Secondary, 2, kReadBinaryInputs, 0);
    Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
    St(2).FailCount = c.failCount;
    St(2).Fault = c.fault;
    Di().Line.CycleState = kCycleIdle;
    Step();
    line_.Feed(Wire(Answer(kCerpadla, Bytes({'B', 3, 1, 0}))));
    ASSERT_TRUE(StepUntil(kCyclePause));
    EXPECT_EQ(Queue(QueueId::Secondary), c.queueAfter);
    EXPECT_EQ(St(2).FailCount, c.failCountAfter);
    EXPECT_EQ(St(2).Fault, c.faultAfter);
    Di().Received.Clear();
  }
}

TEST_F(PollingCycle, SilenceWaitPausesAndAFollowUpFrameGoesFirst) {
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadCounters, 0);
  Step();
  // The answer carries an active message too.
  line_.Feed(Wire(Answer(kKotelna, Bytes({'B', 0}) + std::string(12, '\0') + "H")));
  ASSERT_TRUE(StepUntil(kCyclePause));
  ExtractStep(Di());  // the pass decodes the answer after the cycle's step
  ASSERT_EQ(Di().Polling.FollowUpPending, 1);
  const std::string followUp = Di().Polling.FollowUpFrame.str();
  for (int ms : {40, 10}) {  // 50 ms is not past SILENCE_WAIT 50
    Tick(ms);
    Step();
    EXPECT_EQ(State(), kCyclePause);
    EXPECT_EQ(line_.sent.size(), 1u);
  }
  Tick(10);
  Step();
  EXPECT_EQ(State(), kCycleFollowUp);
  ASSERT_EQ(line_.sent.size(), 2u);
  EXPECT_EQ(line_.sent[1], followUp);
  EXPECT_EQ(Di().Polling.FollowUpPending, 0);
  EXPECT_TRUE(Di().Polling.FollowUpFrame.empty());
  Step();  // no answer is awaited for the follow-up frame
  EXPECT_EQ(State(), kCycleIdle);
  Step();
  EXPECT_EQ(line_.sent.size(), 3u);
  EXPECT_EQ(line_.sent[2], FrameOf(1, kReadCounters));
}

// While a QQ read of two variables waits, an active message, a late answer
// of an earlier read of one variable, a message for no station and one from
// another station come first: none of them ends the wait, each is decoded as
// its controller's own message, and the read's own answer fills exactly its
// own variables. The active message is acknowledged in the pause after it.
TEST_F(PollingCycle, OnlyTheRequestsOwnAnswerEndsItsWait) {
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadQq, 0, Bytes({0, 16, 4}));   // 2500 WORD
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadQq, 0, Bytes({0, 16, 16}));  // 2504 LONGINT
  Step();
  ASSERT_EQ(line_.sent.size(), 1u);
  line_.Feed(Wire(Answer(kKotelna, "H")));
  line_.Feed(Wire(Answer(kKotelna, "Qq" + Bytes({99, 0, 0, 0}))));
  line_.Feed(Wire(Answer(42, "B\x01\x01")));
  line_.Feed(Wire(Answer(kCerpadla, "Qq" + Bytes({98, 0, 0, 0, 97, 0, 0, 0}))));
  for (int i = 0; i < 400 && !line_.incoming.empty(); ++i) {
    Step();
    ExtractStep(Di());
  }
  ExtractStep(Di());
  ASSERT_TRUE(line_.incoming.empty());
  EXPECT_EQ(State(), kCycleAwaitingAnswer);
  EXPECT_EQ(Queue(QueueId::Secondary).size(), 1u);
  EXPECT_EQ(Di().Polling.UnpairedCount, 3u);
  EXPECT_EQ(Di().Polling.StrayCount, 1u);
  EXPECT_EQ(St(1).QqValues[0].Number, 0.0f);
  EXPECT_EQ(St(1).QqValues[4].Int, 0);
  EXPECT_EQ(St(1).RuntimeValue, 99u);  // the unasked QQ message
  EXPECT_EQ(St(1).ActiveMessage, 1);

  line_.Feed(Wire(Answer(kKotelna, "Qq" + Bytes({7, 0, 0, 0, 0xF7, 0xFF, 0xFF, 0xFF}))));
  ASSERT_TRUE(StepUntil(kCyclePause));
  ExtractStep(Di());
  EXPECT_EQ(St(1).QqValues[0].Number, 7.0f);
  EXPECT_EQ(St(1).QqValues[4].Int, -9);
  EXPECT_EQ(Queue(QueueId::Secondary), Pairs{});
  Tick(60);
  Step();
  ASSERT_EQ(line_.sent.size(), 2u);
  EXPECT_EQ(line_.sent[1],
            kPrefix + Sealed(Bytes({0, 0, 'y', 0, kKotelna, 0, 'H', 0x03})) + kSuffix);
}

TEST_F(PollingCycle, WithoutAFollowUpThePauseEndsInIdle) {
  Di().Line.CycleState = kCyclePause;
  Tick(60);
  Step();
  EXPECT_EQ(State(), kCycleIdle);
  EXPECT_TRUE(line_.sent.empty());
}

TEST_F(PollingCycle, TenSingleQqReadsGoOutAsOneFrame) {
  std::string all;
  for (int i = 0; i < 10; ++i) {
    const std::string d = Bytes({0, 16, 4 * i});
    all += d;
    Di().Queues.Enqueue(QueueId::Secondary, 1, kReadQq, 0, d);
  }
  Step();
  ASSERT_EQ(line_.sent.size(), 1u);
  EXPECT_EQ(line_.sent[0], FrameOf(1, kReadQq, all));
  EXPECT_EQ(Queue(QueueId::Secondary).size(), 1u);
  EXPECT_EQ(Posted(),
            (std::vector<std::string>{Cp("Fronta požadavků pro ZL2 zkomprimována ( 10->1 )"),
                                      "KOTELNA" + Cp(" - QQ/čtení (10x)")}));
}

TEST_F(PollingCycle, AQqWriteIsShownWithItsData) {
  Di().Queues.Enqueue(QueueId::Primary, 1, kWriteQq, 0, Bytes({0, 16, 8, 1, 2, 3, 0xAB}));
  Step();
  EXPECT_EQ(Posted(),
            std::vector<std::string>{"KOTELNA" + Cp(" - QQ/zápis (") + "00 10 08 01 02 03 AB )"});
}

TEST_F(PollingCycle, ARequestThatCannotBeCodedLeavesItsQueue) {
  // CERPADLA has no analog inputs: an "A" read has no frame.
  Di().Queues.Enqueue(QueueId::Secondary, 2, kReadAnalogInputs, 0);
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  Step();
  EXPECT_TRUE(line_.sent.empty());
  EXPECT_EQ(State(), kCycleAwaitingAnswer);
  EXPECT_EQ(Di().Polling.AwaitingAnswer, 0);
  EXPECT_EQ(Queue(QueueId::Secondary), (Pairs{{1, kReadBinaryInputs}}));
  EXPECT_NE(Log().find("prstynek : empty frame -> request dropped"), std::string::npos);
  Step();
  EXPECT_EQ(State(), kCycleIdle);
  Step();
  EXPECT_EQ(line_.sent.at(0), FrameOf(1, kReadBinaryInputs));
}

// The host may empty a queue (and fill it again) while a request is in
// flight: its answer must not remove the request that now stands at the head.
TEST_F(PollingCycle, AnAnswerNeverRemovesARequestQueuedAfterAClear) {
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  Step();
  EXPECT_EQ(St(1).Busy, 1);
  Di().Queues.Clear(QueueId::Secondary);
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);  // equal, but a new entry
  line_.Feed(Wire(Answer(kKotelna, Bytes({'B', 0}) + std::string(12, '\1'))));
  ASSERT_TRUE(StepUntil(kCyclePause));
  EXPECT_EQ(Queue(QueueId::Secondary), (Pairs{{1, kReadBinaryInputs}}));
  EXPECT_EQ(St(1).Busy, 0);
  EXPECT_NE(Log().find("request in flight left its queue meanwhile"), std::string::npos);
}

// A partial message whose LEN promised more than ever came must not outlive
// the time-out that throws its bytes away: the next answer is received.
TEST_F(PollingCycle, ATimeOutAlsoForgetsAPartialMessage) {
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  Di().Queues.Enqueue(QueueId::Secondary, 1, kReadCounters, 0);
  Step();
  line_.Feed(kPrefix + Bytes({kDriverAddress, 60, 'Y', 0, kDriverAddress}));
  for (int i = 0; i < 10; ++i) Step();  // the start is taken in, the rest awaited
  ASSERT_FALSE(Di().Polling.MessageBuffer.empty());
  Tick(1100);
  Step();
  ASSERT_EQ(State(), kCycleTimeout);
  Step();
  ASSERT_EQ(State(), kCycleIdle);
  EXPECT_TRUE(Di().Polling.PrefixWindow.empty());
  EXPECT_TRUE(Di().Polling.MessageBuffer.empty());
  Step();  // the next request
  line_.Feed(Wire(Answer(kKotelna, "C\x03" + std::string(32, '\0'))));
  EXPECT_TRUE(StepUntil(kCyclePause));
  EXPECT_EQ(Di().Received.Count(), 1u);
}

TEST_F(PollingCycle, StrayStatesEndInIdle) {
  Di().Line.CycleState = 7;
  Step();
  EXPECT_EQ(State(), kCycleIdle);
  // A time-out with no station to charge only resets the line.
  Di().Polling.CurrentStation = 0;
  Di().Line.CycleState = kCycleTimeout;
  line_.Feed("xyz");
  Step();
  EXPECT_EQ(State(), kCycleIdle);
  EXPECT_TRUE(Posted().empty());
  EXPECT_TRUE(line_.incoming.empty());
  // A frame still waiting to go out when the answer time has passed.
  Di().Line.CycleState = kCycleTransmitting;
  Di().Polling.SecondsSinceTransmit = ToReal6(1.5);
  Step();
  EXPECT_EQ(State(), kCycleTimeout);
}

}  // namespace
}  // namespace zl::test
