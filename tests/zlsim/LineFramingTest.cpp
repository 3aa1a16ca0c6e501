// The line: which frames are answered, the prefix hunt, several lines and
// connections.
#include "SimFixture.h"

namespace zl::test {
namespace {

class Line : public SimTest {
 protected:
  void SetUp() override {
    StartSim();
    client_ = Connect();
  }
  // The next answer on the wire belongs to a "K" request of station 1.
  void ExpectNextAnswerIsK() {
    client_->Send(Request(0, 5, Bytes({'K', 1})));
    std::string m = client_->ReadMessage(kPrefix, kSuffix.size());
    ASSERT_FALSE(m.empty());
    std::string items = AnswerItems(m, 0, 5);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0], 'K') << "an earlier frame was answered";
  }
  std::unique_ptr<WireClient> client_;
};

TEST_F(Line, FramesThatNoControllerShouldAnswerGoUnanswered) {
  std::string badChecksum = Request(0, 5, Bytes({'B', 0}));
  badChecksum[badChecksum.size() - 2] ^= 0x40;
  std::string noPreSuffix = Request(0, 5, Bytes({'B', 0}));
  noPreSuffix[noPreSuffix.size() - 3] = 0x04;   // PRESUFFIX replaced ...
  noPreSuffix[noPreSuffix.size() - 2] ^= 0x07;  // ... and the checksum mended
  std::string otherType = Request(0, 5, Bytes({'B', 0}));
  otherType[4] = 'Z';
  otherType[otherType.size() - 2] ^= 'Y' ^ 'Z';
  struct Case {
    const char *what;
    std::string frame;
  } cases[] = {
      {"bad checksum", badChecksum},
      {"unknown station", Request(0, 6, Bytes({'B', 0}))},
      {"station of the other line", Request(0, 9, Bytes({'B', 0}))},
      {"another sender's address", Request(0, 5, Bytes({'B', 0}), kDriver + 1)},
      {"wrong retranslation byte", Request(1, 5, Bytes({'B', 0}))},
      {"PRESUFFIX missing", noPreSuffix},
      {"frame type not served", otherType},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    client_->Send(c.frame);
    ExpectNextAnswerIsK();
  }
  auto lines = sim_->LineStatistics();
  EXPECT_EQ(lines[0].BadChecksums, 1u);
  EXPECT_EQ(lines[0].Unaddressed, 4u);
  EXPECT_EQ(lines[0].Malformed, 2u);
  EXPECT_EQ(sim_->Stats(1).Requests, 7u) << "only the K requests reached station 1";
}

TEST_F(Line, PrefixIsHuntedThroughNoiseAndPiecemealFrames) {
  // Junk, a lone first prefix byte, then a frame in one-byte pieces.
  client_->Send(Bytes({0x00, 0xFF, 0x02, 0x10, 0x55, 0x10}));
  std::string frame = Request(0, 5, Bytes({'B', 1}));
  for (char c : frame) {
    client_->Send(std::string(1, c));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::string m = client_->ReadMessage(kPrefix, kSuffix.size());
  ASSERT_FALSE(m.empty());
  EXPECT_EQ(AnswerItems(m, 0, 5).substr(0, 2), Bytes({'B', 1}));
  // Two frames in one write are both answered, in order.
  client_->Send(Request(0, 5, Bytes({'B', 1})) + Request(3, 7, Bytes({'K', 1})));
  EXPECT_EQ(AnswerItems(client_->ReadMessage(kPrefix, 1), 0, 5)[0], 'B');
  EXPECT_EQ(AnswerItems(client_->ReadMessage(kPrefix, 1), 3, 7)[0], 'K');
}

TEST_F(Line, EachEndpointIsALineOfItsOwn) {
  auto other = Connect(4002);
  other->Send(Request(0, 9, Bytes({'K', 1})));
  std::string m = other->ReadMessage(kPrefix, kSuffix.size());
  EXPECT_EQ(AnswerItems(m, 0, 9).substr(0, 2), Bytes({'K', 1}));
  other->Send(Request(0, 5, Bytes({'K', 1})));  // station 1 is not on this line
  EXPECT_TRUE(other->QuietFor(200));
  auto endpoints = sim_->Endpoints();
  ASSERT_EQ(endpoints.size(), 2u);
  EXPECT_EQ(endpoints[0].Stations, (std::vector<int>{1, 2}));
  EXPECT_EQ(endpoints[1].Stations, (std::vector<int>{3}));
  EXPECT_NE(endpoints[0].ActualPort, 4001) << "ephemeral";
}

TEST_F(Line, ANewConnectionReplacesTheOldOne) {
  auto second = Connect();
  EXPECT_TRUE(client_->ClosedByPeer());
  second->Send(Request(0, 5, Bytes({'K', 1})));
  EXPECT_FALSE(second->ReadMessage(kPrefix, kSuffix.size()).empty());
  EXPECT_EQ(sim_->LineStatistics()[0].Connections, 2u);
}

TEST_F(Line, StopClosesConnectionsAndCanBeRepeated) {
  sim_->Stop();
  EXPECT_TRUE(client_->ClosedByPeer());
  sim_->Stop();
  EXPECT_FALSE(sim_->Running());
}

}  // namespace
}  // namespace zl::test
