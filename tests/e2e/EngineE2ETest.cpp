// The engine end to end: the communication thread, the real TCP client on the
// host thread's message loop (pumped by the test, which plays the host), and
// the simulated controllers on loopback. Requests go straight into the
// queues; the answers must land in the stations as the controllers hold them.
#include <gtest/gtest.h>

#include "config/ParameterSet.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/DriverInstance.h"
#include "core/RequestQueues.h"
#include "driver/CommThread.h"
#include "driver/EventLines.h"
#include "net/GatewayClient.h"
#include "port/Clock.h"
#include "port/MessageLoop.h"
#include "protocol/Reception.h"
#include "support/Bytes.h"
#include "support/ConfigFixture.h"
#include "support/EngineLine.h"
#include "support/Loopback.h"
#include "support/TestSupport.h"
#include "util/Encodings.h"
#include "zlsim/Simulator.h"

namespace zl::test {
namespace {

using namespace zl::test::engine;

// Answers on loopback come within milliseconds: a long ANSWER_TIME keeps a
// busy machine from turning a slow answer into a time-out...
constexpr std::string_view kSteadyTimings =
    " ANSWER_TIME 5.0\n SILENCE_WAIT 5\n SLEEP_TIME 0.6\n SLEEP_COUNT 2\n IDLE_TIME 1\n";
// ...and a short one lets the tests of a dead station run quickly.
constexpr std::string_view kQuickTimings =
    " ANSWER_TIME 0.3\n SILENCE_WAIT 5\n SLEEP_TIME 0.6\n SLEEP_COUNT 2\n IDLE_TIME 1\n";

// What Driver gives the driver, on a loop the test pumps: event lines (all
// of them kept), the synchronised call, the wake-up.
class HostServices : public DriverServices {
 public:
  HostServices(MessageLoop &loop, DriverInstance &di) : loop_(loop), di_(di) {}

  void AddEvent(std::string_view text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.emplace_back(text);
  }
  void AddStatusLine(std::string_view text) override { AddEvent(text); }
  void PostEvent(std::string_view text) override {
    di_.PendingEvent = text;
    loop_.Send([this] { AddToMemo(di_); });
  }
  void Synchronize(const std::function<void()> &fn) override { loop_.Send(fn); }
  void Wake() override {}

  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  bool Shown(const std::string &line) const {
    const auto events = Events();
    return std::find(events.begin(), events.end(), line) != events.end();
  }

 private:
  MessageLoop &loop_;
  DriverInstance &di_;
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
};

class EngineE2E : public ::testing::Test {
 protected:
  template <class F>
  auto Locked(F f) {
    std::lock_guard<std::mutex> lock(di_.DataLock);
    return f();
  }

  // Loads the line, starts the simulator on ephemeral ports (the stations are
  // pointed there), the client and the thread.
  void Start(sim::FaultOptions faults = {}, std::string_view timings = kSteadyTimings) {
    di_.Services = &services_;
    std::string error;
    ASSERT_TRUE(LoadConfigText(di_, EngineParameterFile(timings), &error)) << error;
    sim::SimOptions options;
    options.Ephemeral = true;
    options.BindAddress = "127.0.0.1";
    options.Static = true;
    options.Faults = faults;
    // The simulator serves the configuration the driver loaded.
    ParameterSet loaded{di_.Global, {}};
    for (int n = 1; n <= di_.StationCount; ++n) loaded.Stations.push_back(*di_.StationAt(n));
    sim_ = std::make_unique<sim::Simulator>(std::move(loaded), options);
    ASSERT_TRUE(sim_->Start(error)) << error;
    for (int n = 1; n <= di_.StationCount; ++n) {
      di_.StationAt(n)->Port = sim_->ActualPort(di_.StationAt(n)->Port);
    }
    di_.Polling.LastTick = DayCentiseconds();
    client_ = std::make_unique<GatewayClient>(loop_, &services_);
    di_.Client = client_.get();
    thread_ = std::make_unique<CommThread>(queueStatusLabel_, activityLabel_, memo_, &di_,
                                           client_.get(), &idleGO_, di_.Global.IdleTime, &loop_);
    thread_->Resume();
  }

  // What the connect command of station n does, then waits for the thread to
  // confirm the connection.
  void Connect(int n = 1) {
    Station &st = *di_.StationAt(n);
    client_->SetEndpoint(st.Ip.str(), st.Port);
    Locked([&] { st.ConnectRequested = 1; });
    ASSERT_TRUE(client_->Connect());
    ASSERT_TRUE(Until([&] { return di_.StationOnline.load() == 1; }));
  }

  void TearDown() override {
    if (thread_) {
      idleGO_.store(0);
      di_.OnDone.store(1);
      thread_->Stop();  // serves its synchronised calls while it waits
    }
    di_.Client = nullptr;
    client_.reset();
    if (sim_) sim_->Stop();
  }

  bool Until(const std::function<bool()> &pred) { return PumpUntil(loop_, pred); }
  // Every queued request answered (or dropped) and every answer decoded.
  bool Settled() {
    return di_.Queues.Count(QueueId::Primary) == 0 && di_.Queues.Count(QueueId::Secondary) == 0 &&
           di_.Received.Count() == 0 && AwaitingNothing();
  }
  Station &St(int n) { return *di_.StationAt(n); }
  bool AwaitingNothing() {
    std::lock_guard<std::mutex> lock(di_.Polling.Lock);
    return di_.Polling.AwaitingAnswer == 0;
  }
  sim::ControllerModel &Model(int n) { return *sim_->Station(n); }

  TempDir dir_;
  MessageLoop loop_;  // the host's: this thread's
  DriverInstance di_;
  HostServices services_{loop_, di_};
  std::unique_ptr<sim::Simulator> sim_;
  std::unique_ptr<GatewayClient> client_;
  std::atomic<uint8_t> idleGO_{1};
  Label queueStatusLabel_{"Label1", 0, 0, Font{}};
  Label activityLabel_{"Label2", 0, 0, Font{}};
  Memo memo_{"EventList", 0, 0, 1, 1, Font{}};
  std::unique_ptr<CommThread> thread_;
};

TEST_F(EngineE2E, EveryReadIsAnsweredAndDecodedIntoTheStation) {
  Start();
  Connect();
  sim::ControllerModel &m = Model(1);
  for (int i = 0; i < 96; ++i) m.SetBinaryInput(i, i % 3 == 0);
  for (int i = 0; i < 16; ++i)
    m.SetAnalogWord(i, static_cast<uint16_t>(i % 2 ? 17 * i : 0x8000 | 250 * i));
  for (int i = 0; i < 16; ++i) m.SetCounter(i, static_cast<uint16_t>(1000 + i));
  m.SetMemory(0x0100, Bytes({0x34, 0x12}));
  m.SetMemory(0x0102, EncodeReal3(-2.5).str());
  m.SetMemory(0x0105, Bytes({77}));
  m.SetMemory(0x0300, Bytes({1, 2}) + EncodeReal3(8).str() + Bytes({3}));
  m.SetQqBytes(0, 16, 4, {0x2A, 0, 0, 0});
  m.SetQqBytes(0, 16, 8, {0xCD, 0xCC, 0x6C, 0x40});
  m.SetQqBytes(0, 16, 16, {0xFF, 0xFF, 0xFF, 0xFF});
  const MemoryBlock *block = &St(1).MemoryBlocks.at(0);
  Locked([&] {
    di_.Sample.Block = 1;
    di_.Sample.Busy = 1;
    di_.Sample.TransferRunning = 1;  // a transfer runs: its blocks are stored
    di_.Sample.TransferStation = 1;
  });

  for (int kind : {kReadBinaryInputs, kReadCounters, kReadAnalogInputs, kReadMemoryOutputs})
    di_.Queues.Enqueue(QueueId::Secondary, 1, static_cast<uint8_t>(kind), 0);
  for (int16_t i = 1; i <= 3; ++i) di_.Queues.Enqueue(QueueId::Secondary, 1, kReadMemoryInput, i);
  di_.Queues.Enqueue(QueueId::Secondary, 1, kReadMemoryBlock, 0, {}, block);
  for (const std::string &d : {Bytes({0, 16, 4}), Bytes({0, 16, 8}), Bytes({0, 16, 16})})
    di_.Queues.Enqueue(QueueId::Secondary, 1, kReadQq, 0, d);
  di_.Queues.Enqueue(QueueId::Secondary, 1, kReadSamples1, static_cast<int16_t>(0x8000 + 186 * 87));
  ASSERT_TRUE(Until([&] { return Settled(); }));

  Locked([&] {
    Station &st = St(1);
    for (int i = 0; i < 96; ++i) EXPECT_EQ(st.BinaryIn[i], m.BinaryInput(i) ? 1 : 0) << i;
    for (int i = 1; i <= 16; ++i) {
      const uint16_t word = m.AnalogWord(i - 1);
      const double range = word & 0x8000 ? 4095 : 255;
      const AnalogLimit &lim = st.AnalogLimits[i];
      const double raw = std::clamp((word & 0x7FFF) + FromReal6(lim.Offset), 0.0, range);
      EXPECT_EQ(st.AnalogRaw[i], static_cast<uint16_t>(raw)) << i;
      const double low = FromReal6(lim.Low), high = FromReal6(lim.High);
      EXPECT_EQ(FromReal6(st.AnalogIn[i]),
                FromReal6(ToReal6(low + (high - low) * st.AnalogRaw[i] / range)))
          << i;
    }
    for (int i = 1; i <= 16; ++i) EXPECT_EQ(st.CounterRaw[i], m.Counter(i - 1)) << i;
    for (int i = 1; i <= 8; ++i)
      EXPECT_EQ(FromReal6(st.MemoryOutValues[i]), DecodeReal3(m.MemoryOutputReal(i - 1))) << i;
    EXPECT_EQ(FromReal6(st.MemoryInValues[1]), 0x1234);
    EXPECT_EQ(FromReal6(st.MemoryInValues[2]), -2.5);
    EXPECT_EQ(FromReal6(st.MemoryInValues[3]), 77);
    EXPECT_EQ(st.BlockItemValues.at(0)[0].str(), Bytes({1, 2}));
    EXPECT_EQ(st.BlockItemValues.at(0)[1].str(), EncodeReal3(8).str());
    EXPECT_EQ(st.BlockItemValues.at(0)[2].str(), Bytes({3}));
    EXPECT_EQ(st.QqValues[0].Number, 42.0f);
    EXPECT_EQ(st.QqValues[1].Number, 3.7f);
    EXPECT_EQ(st.QqValues[4].Int, -1);
    for (int r = 523; r <= 528; ++r) {
      const sim::SampleRowBytes row = m.SampleRow(r - 1);
      const uint8_t *stored = di_.Sample.Table[r - 1].Bytes;
      for (int b = 0; b < 6; ++b) EXPECT_EQ(stored[b], BcdValue(row[b])) << r;
      EXPECT_EQ(stored[6], row[6]);
      EXPECT_EQ(std::memcmp(stored + 36, row.data() + 28, 3), 0) << r;
    }
    EXPECT_EQ(di_.Sample.Busy, 0);
    EXPECT_EQ(st.RequestCount, 10);  // the three QQ reads went as one
    EXPECT_EQ(st.TimeoutTotal, 0);
  });

  // The analog block in memory, and a counter reset confirmed.
  m.SetMemory(40, EncodeReal3(12.5).str() + EncodeReal3(99).str());
  Locked([&] { St(1).CounterRaw[1] = 4; });
  di_.Queues.Enqueue(QueueId::Secondary, 1, kReadAnalogBlock, 0);
  di_.Queues.Enqueue(QueueId::Secondary, 1, kResetCounters, 0);
  ASSERT_TRUE(Until([&] { return Settled(); }));
  Locked([&] {
    EXPECT_EQ(FromReal6(St(1).AnalogIn[1]), 12.5);
    EXPECT_EQ(FromReal6(St(1).AnalogIn[2]), 99.0);
    EXPECT_EQ(FromReal6(St(1).CounterValues[1]), 0.5 * 4);  // REAL, factor 0.5
    EXPECT_EQ(St(1).NewCounters, 1);
  });
  EXPECT_EQ(m.Counter(0), 0);
}

TEST_F(EngineE2E, EveryWriteReachesTheController) {
  Start();
  Connect();
  sim::ControllerModel &m = Model(1);
  const MemoryBlock *block = &St(1).MemoryBlocks.at(0);
  Locked([&] {
    for (int i = 0; i < 16; ++i) St(1).BinaryOut[i] = i % 5 == 0;
    for (int i = 1; i <= 8; ++i) St(1).MemoryOutValues[i] = ToReal6(1.5 * i);
  });
  di_.Queues.Enqueue(QueueId::Primary, 1, kWriteBinaryOutputs, 0);
  di_.Queues.Enqueue(QueueId::Primary, 1, kWriteMemoryOutput, 2);
  di_.Queues.Enqueue(QueueId::Primary, 1, kWriteMemoryOutputs, 0);
  di_.Queues.Enqueue(QueueId::Primary, 1, kWriteQq, 0, Bytes({0, 16, 8, 0xCD, 0xCC, 0x6C, 0x40}));
  di_.Queues.Enqueue(QueueId::Primary, 1, kWriteBlockItem, 1, Bytes({0x11, 0x22}), block);
  ASSERT_TRUE(Until([&] { return Settled(); }));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.BinaryOutput(i), i % 5 == 0) << i;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(DecodeReal3(m.MemoryOutputReal(i)), 1.5 * (i + 1)) << i;
  EXPECT_EQ(m.QqBytes(0, 16, 8), (sim::QqValue{0xCD, 0xCC, 0x6C, 0x40}));
  EXPECT_EQ(m.Memory(0x0300, 2), Bytes({0x11, 0x22}));
  EXPECT_TRUE(services_.Shown("KOTELNA" + Cp(" - QQ/zápis (00 10 08 CD CC 6C 40 )")));
  EXPECT_TRUE(services_.Shown(std::string(60, ' ') + "<<<-- KOTELNA - " + Cp("QQ/zápis")));
  Locked([&] { EXPECT_EQ(St(1).TimeoutTotal, 0); });
}

TEST_F(EngineE2E, ADeadStationTimesOutSleepsAndWakes) {
  Start({}, kQuickTimings);
  Connect();
  sim_->SetDead(3, true);
  di_.Queues.Enqueue(QueueId::Secondary, 3, kReadBinaryInputs, 0);
  const std::string timeout = "VODOJEM" + Cp(" - překročení času (");
  ASSERT_TRUE(Until([&] { return services_.Shown("VODOJEM" + Cp(" - start módu \"sleep\"")); }));
  Locked([&] {
    EXPECT_EQ(St(3).TimeoutTotal, 2);  // SLEEP_COUNT 2
    EXPECT_GT(FromReal6(St(3).SleepRemaining), 0.0);
  });
  const auto events = services_.Events();
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [&](const std::string &e) { return e.rfind(timeout, 0) == 0; }),
            2);
  // Asleep, its request waits; then the sleep runs out and it is polled again.
  ASSERT_TRUE(Until([&] { return services_.Shown("VODOJEM" + Cp(" - konec módu \"sleep\"")); }));
  Locked([&] { EXPECT_EQ(St(3).TimeoutRun, 0); });
  EXPECT_EQ(di_.Queues.Count(QueueId::Secondary), 1u);
  sim_->SetDead(3, false);
  Model(3).SetBinaryInput(2, true);
  ASSERT_TRUE(Until([&] { return Settled(); }));
  Locked([&] {
    EXPECT_EQ(St(3).BinaryIn[2], 1);
    EXPECT_EQ(St(3).TimeoutRun, 0);
    EXPECT_EQ(FromReal6(St(3).SleepRemaining), 0.0);
  });
}

TEST_F(EngineE2E, ActiveMessagesAreAcknowledgedWithACorrectFollowUpFrame) {
  sim::FaultOptions faults;
  faults.ActiveEverySeconds = 0.1;
  Start(faults);
  Connect();
  auto acks = [&] {
    uint64_t n = 0;
    for (int s = 1; s <= 3; ++s) n += sim_->Stats(s).Acks;
    return n;
  };
  ASSERT_TRUE(Until([&] { return acks() >= 3; }));
  for (int s = 1; s <= 3; ++s) EXPECT_EQ(sim_->Stats(s).BadAcks, 0u) << s;
  Locked([&] {
    for (int s = 1; s <= 3; ++s) {
      if (sim_->Stats(s).Acks > 0) {
        EXPECT_EQ(St(s).ActiveMessage, 1) << s;
        EXPECT_EQ(St(s).Online, 1) << s;
      }
    }
  });
  // Requests get their answers as before once the active messages stop.
  sim::FaultOptions quiet;
  sim_->SetFaults(quiet);
  Model(1).SetBinaryInput(5, true);
  di_.Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  ASSERT_TRUE(Until([&] { return di_.Queues.Count(QueueId::Secondary) == 0; }));
  ASSERT_TRUE(Until([&] { return Locked([&] { return St(1).BinaryIn[5] == 1; }); }));
}

TEST_F(EngineE2E, ADroppedConnectionEmptiesBothQueuesWithinOnePass) {
  Start({}, kQuickTimings);
  Connect();
  sim_->SetDead(3, true);  // its requests stay queued
  for (uint8_t i = 0; i < 3; ++i) {
    di_.Queues.Enqueue(QueueId::Primary, 3, kWriteQq, 0, Bytes({0, 16, i, 1, 2, 3, 4}));
    di_.Queues.Enqueue(QueueId::Secondary, 3, kReadQq, 0, Bytes({0, 16, i}));
  }
  ASSERT_TRUE(Until([&] { return Locked([&] { return St(3).TimeoutTotal >= 1; }); }));
  sim_->Stop();
  ASSERT_TRUE(Until([&] { return !client_->Connected(); }));
  const uint64_t passes = thread_->PassCount();
  ASSERT_TRUE(Until([&] { return thread_->PassCount() >= passes + 2; }));
  EXPECT_EQ(di_.Queues.Count(QueueId::Primary), 0u);
  EXPECT_EQ(di_.Queues.Count(QueueId::Secondary), 0u);
  EXPECT_EQ(client_->ReceivedCount(), 0);
  EXPECT_TRUE(services_.Shown(Cp("Spojení přerušeno serverem!")));
  // Requests made while there is no connection are dropped as well.
  di_.Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 0);
  ASSERT_TRUE(Until([&] { return di_.Queues.Count(QueueId::Secondary) == 0; }));
}

}  // namespace
}  // namespace zl::test
