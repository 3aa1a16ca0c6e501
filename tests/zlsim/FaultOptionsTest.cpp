// What each fault option does to the wire.
#include <mutex>

#include "SimFixture.h"

namespace zl::test {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class Faults : public SimTest {
 protected:
  std::string AskRaw(WireClient &c, std::string *skipped = nullptr) {
    c.Send(Request(0, 5, Bytes({'K', 1})));
    return c.ReadMessage(kPrefix, kSuffix.size(), skipped);
  }
};

TEST_F(Faults, DeadStationNeverAnswersUntilItIsAliveAgain) {
  sim::SimOptions options;
  options.Dead = {2};
  StartSim(options);
  auto c = Connect();
  c->Send(Request(3, 7, Bytes({'K', 1})));
  EXPECT_EQ(AnswerItems(AskRaw(*c), 0, 5)[0], 'K') << "station 1 answers, station 2 did not";
  EXPECT_EQ(sim_->Stats(2).DeadIgnored, 1u);
  sim_->SetDead(2, false);
  EXPECT_EQ(Ask(*c, Bytes({'K', 1}), 3, 7)[0], 'K');
}

TEST_F(Faults, DroppedRequestsGoUnanswered) {
  sim::SimOptions options;
  options.Faults.Drop = 1.0;
  StartSim(options);
  auto c = Connect();
  c->Send(Request(0, 5, Bytes({'B', 1})));
  ASSERT_TRUE(Eventually([&] { return sim_->Stats(1).Dropped == 1; }));
  sim_->SetFaults(sim::FaultOptions());
  EXPECT_EQ(AnswerItems(AskRaw(*c), 0, 5)[0], 'K') << "the dropped request was answered";
  EXPECT_EQ(sim_->Stats(1).FaultsInjected(), 1u);
}

TEST_F(Faults, CorruptAnswersCarryAWrongChecksumOnly) {
  sim::SimOptions options;
  options.Faults.Corrupt = 1.0;
  StartSim(options);
  auto c = Connect();
  std::string m = AskRaw(*c);
  ASSERT_GE(m.size(), 8u);
  EXPECT_FALSE(ChecksumGood(m));
  m.back() = static_cast<char>(m.back() ^ 0xFF);
  EXPECT_EQ(AnswerItems(m, 0, 5).substr(0, 2), Bytes({'K', 1}));
  EXPECT_EQ(sim_->Stats(1).Corrupted, 1u);
}

TEST_F(Faults, NoiseComesBeforeThePrefixAndNeverContainsIt) {
  sim::SimOptions options;
  options.Faults.Noise = 1.0;
  StartSim(options);
  auto c = Connect();
  for (int i = 0; i < 5; ++i) {
    std::string junk;
    std::string m = AskRaw(*c, &junk);
    EXPECT_TRUE(ChecksumGood(m));
    // The previous answer's SUFFIX comes first, then the junk.
    std::string noise = i == 0 ? junk : junk.substr(kSuffix.size());
    EXPECT_GE(noise.size(), 1u);
    EXPECT_LE(noise.size(), 8u);
    EXPECT_EQ(noise.find_first_of(kPrefix), std::string::npos);
  }
  EXPECT_EQ(sim_->Stats(1).Noised, 5u);
}

TEST_F(Faults, SplitAnswersLeaveOneByteAWrite) {
  sim::SimOptions options;
  options.Faults.Split = true;
  StartSim(options);
  auto c = Connect();
  std::string m = AskRaw(*c);
  const uint64_t total = kPrefix.size() + m.size() + kSuffix.size();
  ASSERT_TRUE(Eventually([&] { return sim_->LineStatistics()[0].BytesOut == total; }));
  EXPECT_EQ(sim_->LineStatistics()[0].Writes, total);
  EXPECT_EQ(AnswerItems(m, 0, 5).substr(0, 2), Bytes({'K', 1}));
}

TEST_F(Faults, DelayHoldsBackTheAnswer) {
  sim::SimOptions options;
  options.Faults.DelayMs = 300;
  StartSim(options);
  auto c = Connect();
  auto start = Clock::now();
  EXPECT_FALSE(AskRaw(*c).empty());
  EXPECT_GE(SecondsSince(start), 0.3);
}

TEST_F(Faults, BaudRatePacesTheBytes) {
  sim::SimOptions options;
  options.Faults.Baud = 1200;
  StartSim(options);
  auto c = Connect();
  auto start = Clock::now();
  std::string m = AskRaw(*c);
  std::size_t bytes = kPrefix.size() + m.size() + kSuffix.size();
  // The last byte cannot leave before the others have taken 10 bits each.
  EXPECT_GE(SecondsSince(start), (bytes - 1) * 10.0 / 1200.0);
  EXPECT_GT(c->Reads(), 1) << "a paced answer arrives in pieces";
}

TEST_F(Faults, EveryNthAnswerCarriesAControlError) {
  sim::SimOptions options;
  options.Faults.ErrorEvery = 2;
  StartSim(options);
  auto c = Connect();
  for (int i = 1; i <= 4; ++i) {
    SCOPED_TRACE(i);
    std::string items = Ask(*c, Bytes({'K', 1}));
    if (i % 2 == 0) {
      EXPECT_EQ(items.substr(0, 4), Bytes({'E', 7, 'K', 1}));
    } else {
      EXPECT_EQ(items.substr(0, 2), Bytes({'K', 1}));
    }
  }
  EXPECT_EQ(sim_->Stats(1).ErrorItems, 2u);
}

TEST_F(Faults, CloseAfterDropsTheConnectionAfterNAnswers) {
  sim::SimOptions options;
  options.Faults.CloseAfter = 2;
  StartSim(options);
  auto c = Connect();
  EXPECT_FALSE(AskRaw(*c).empty());
  EXPECT_FALSE(AskRaw(*c).empty());
  EXPECT_TRUE(c->ClosedByPeer());
  auto again = Connect();
  EXPECT_FALSE(AskRaw(*again).empty()) << "a new connection is served again";
  EXPECT_EQ(sim_->LineStatistics()[0].ClosedAfter, 1u);
}

// The acknowledgment the driver sends for an active message: the routing
// turned round, type "y", the items and PRESUFFIX copied.
std::string Acknowledgment(const std::string &active) {
  std::string s;
  s += active[3];
  s += '\0';
  s += 'y';
  s += '\0';
  s += active[5];
  s += '\0';
  s += active.substr(6, active.size() - 7);
  s[1] = static_cast<char>(s.size() - 1);
  uint8_t x = 0;
  for (char ch : s) x ^= static_cast<uint8_t>(ch);
  s += static_cast<char>(x);
  return kPrefix + s + kSuffix;
}

TEST_F(Faults, ActiveMessagesAreSentAndTheirAcknowledgmentsChecked) {
  sim::SimOptions options;
  options.Faults.ActiveEverySeconds = 0.05;
  StartSim(options);
  auto c = Connect();
  std::string active = c->ReadMessage(kPrefix, kSuffix.size());
  ASSERT_GE(active.size(), 9u);
  EXPECT_TRUE(ChecksumGood(active));
  EXPECT_EQ(active.substr(0, 8), Bytes({kDriver, 7, 'Y', 0, kDriver, 5, 'H', 0x03}));
  c->Send(Acknowledgment(active));
  ASSERT_TRUE(Eventually([&] { return sim_->Stats(1).Acks == 1; }));

  // Stations take turns; a wrong acknowledgment is counted as such.
  do {
    active = c->ReadMessage(kPrefix, kSuffix.size());
    ASSERT_GE(active.size(), 9u);
  } while (active[5] != 7);
  EXPECT_EQ(active.substr(3, 3), Bytes({3, kDriver, 7}));
  std::string wrong = Acknowledgment(active);
  wrong[2 + 3] = 1;  // the zero byte after "y"
  wrong[wrong.size() - 2] ^= 1;
  c->Send(wrong);
  ASSERT_TRUE(Eventually([&] { return sim_->Stats(2).BadAcks == 1; }));
  EXPECT_EQ(sim_->Stats(2).Acks, 0u);
  EXPECT_GE(sim_->Stats(1).ActiveSent, 1u);
}

TEST_F(Faults, ValuesMoveWithoutStatic) {
  StartSim({}, /*moving=*/true);
  uint16_t before = sim_->Station(1)->Counter(0);
  EXPECT_TRUE(Eventually([&] { return sim_->Station(1)->Counter(0) != before; }));
  sim_->SetFrozen(true);
  uint16_t frozen = sim_->Station(1)->Counter(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(sim_->Station(1)->Counter(0), frozen);
}

TEST_F(Faults, TraceShowsEveryFrameWithItsDirection) {
  // Held by the sink too: the simulator's thread may trace until it stops.
  struct Lines {
    std::mutex lock;
    std::vector<std::string> all;
    bool Has(const std::string &part) {
      std::lock_guard<std::mutex> g(lock);
      for (const auto &l : all)
        if (l.find(part) != std::string::npos) return true;
      return false;
    }
  };
  auto lines = std::make_shared<Lines>();
  sim::SimOptions options;
  options.TraceSink = [lines](const std::string &l) {
    std::lock_guard<std::mutex> g(lines->lock);
    lines->all.push_back(l);
  };
  StartSim(options);
  auto c = Connect();
  c->Send(Request(0, 5, Bytes({'K', 1})));
  ASSERT_FALSE(c->ReadMessage(kPrefix, kSuffix.size()).empty());
  ASSERT_TRUE(Eventually([&] { return lines->Has(" OUT 10 02 1E 0B 59 00 1E 05 4B 01 "); }));
  EXPECT_TRUE(lines->Has(" IN  10 02 00 08 59 1E 05 1E 4B 01 03 "));
  std::lock_guard<std::mutex> g(lines->lock);
  for (const auto &l : lines->all) {
    EXPECT_EQ(l[2], ':') << l;  // starts with the time of day
    EXPECT_NE(l.find("127.0.0.1:4001"), std::string::npos) << l;
  }
}

}  // namespace
}  // namespace zl::test
