// Reception: messages found in the gateway's byte stream, whatever pieces
// they arrive in, and the store they wait in for decoding.
#include <mutex>

#include "support/EngineFixture.h"

#include "protocol/Reception.h"

namespace zl::test {
namespace {

class Reception : public EngineTest {
 protected:
  void SetUp() override { Load(); }

  double PrefixCount() {
    std::lock_guard<std::mutex> lock(Di().Polling.Lock);
    return FromReal6(Di().Polling.PrefixCount);
  }
  double MessageCount() {
    std::lock_guard<std::mutex> lock(Di().Polling.Lock);
    return FromReal6(Di().Polling.MessageCount);
  }
  std::vector<ReceivedMessage> Stored() { return Di().Received.Snapshot(); }
};

const std::string kGood = Answer(kKotelna, Bytes({'B', 1, 0x0F}));

TEST_F(Reception, NoiseBeforeThePrefixIsDroppedOneByteAtATime) {
  line_.Feed(Bytes({0x10, 0x77, 0x02, 0x10, 0x10}) + Wire(kGood));
  // Bytes arrive one by one: the hunt never holds more than the two PREFIX bytes.
  const std::string stream = line_.incoming;
  line_.incoming.clear();
  int stored = 0;
  for (char b : stream) {
    line_.Feed(std::string(1, b));
    for (int i = 0; i < 3; ++i) {
      if (ReceiveStep(Di(), line_)) ++stored;
      std::lock_guard<std::mutex> lock(Di().Polling.Lock);
      EXPECT_LE(Di().Polling.PrefixWindow.size(), 2u);
    }
  }
  EXPECT_EQ(stored, 1);
  ASSERT_EQ(Stored().size(), 1u);
  EXPECT_EQ(Stored()[0].Message.str(), kGood);
  EXPECT_EQ(PrefixCount(), 1.0);
  EXPECT_EQ(MessageCount(), 1.0);
  // The SUFFIX after the message went into the next hunt.
  EXPECT_EQ(Di().Polling.PrefixWindow.str(), kSuffix);
}

TEST_F(Reception, ABadChecksumCountsThePrefixButStoresNothing) {
  std::string bad = kGood;
  bad.back() = static_cast<char>(bad.back() ^ 0x40);
  line_.Feed(Wire(bad));
  EXPECT_EQ(ReceiveAll(), 0);
  EXPECT_EQ(PrefixCount(), 1.0);
  EXPECT_EQ(MessageCount(), 0.0);
  EXPECT_TRUE(Stored().empty());
  EXPECT_EQ(Log().find("SaveIt"), std::string::npos);
  // Reception starts again with the hunt: the next good message is stored.
  line_.Feed(Wire(kGood));
  EXPECT_EQ(ReceiveAll(), 1);
  EXPECT_EQ(PrefixCount(), 2.0);
  EXPECT_EQ(MessageCount(), 1.0);
}

TEST_F(Reception, TheTypeLetterDecidesWhetherTheFirstByteIsTheAddressee) {
  struct Case {
    char type;
    uint8_t first;
    bool stored;
  } cases[] = {
      {'Y', kDriverAddress, true},
      {'Y', 31, false},
      {'y', kDriverAddress, true},
      {'y', 31, false},
      {'Z', kKotelna, true},
      {'a', kVodojem, true},
      {'H', 31, false},  // names no station
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string("type ") + c.type + " first " + std::to_string(c.first));
    line_.Feed(Wire(Answer(kKotelna, "B\x01\x0F", c.type, c.first)));
    EXPECT_EQ(ReceiveAll(), c.stored ? 1 : 0);
  }
  EXPECT_EQ(MessageCount(), 4.0);
  EXPECT_EQ(PrefixCount(), 7.0);
  EXPECT_EQ(Di().Polling.StrayCount, 1u);
}

TEST_F(Reception, ASecondAnswerToOneTransmissionIsStoredWithoutItsFrame) {
  {
    std::lock_guard<std::mutex> lock(Di().Polling.Lock);
    Di().Polling.LastRequestFrame = "FRAME";
  }
  const std::string second = Answer(kCerpadla, "B\x01\x01");
  line_.Feed(Wire(kGood) + Wire(second));
  EXPECT_EQ(ReceiveAll(), 2);
  auto stored = Stored();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].Message.str(), kGood);
  EXPECT_EQ(stored[0].RequestFrame.str(), "FRAME");
  EXPECT_EQ(stored[1].Message.str(), second);
  EXPECT_TRUE(stored[1].RequestFrame.empty());
  std::lock_guard<std::mutex> lock(Di().Polling.Lock);
  EXPECT_TRUE(Di().Polling.LastRequestFrame.empty());
}

TEST_F(Reception, MessagesArriveInAnyPieces) {
  const std::string stream = Wire(kGood) + Wire(Answer(kCerpadla, "B\x01\x01")) + Wire(kGood);
  for (std::size_t piece : {1u, 2u, 3u, 5u, 7u, 64u}) {
    SCOPED_TRACE(piece);
    Di().Received.Clear();
    int stored = 0;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      line_.Feed(stream.substr(at, piece));
      for (int i = 0; i < 2 * static_cast<int>(piece) + 2; ++i) stored += ReceiveStep(Di(), line_);
    }
    EXPECT_EQ(stored, 3);
    EXPECT_EQ(Di().Received.Count(), 3u);
  }
}

TEST_F(Reception, ExtractStepDecodesOnlyTheOldestMessage) {
  line_.Feed(Wire(kGood) + Wire(Answer(kCerpadla, "B\x01\x01")) + Wire(Answer(99, "B\x01\x01")));
  EXPECT_EQ(ReceiveAll(), 2);  // the last names no station: dropped
  StoreMessage(Di(), Answer(99, "B\x01\x01"));
  ExtractStep(Di());
  auto stored = Stored();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(static_cast<uint8_t>(stored[0].Message[5]), kCerpadla);
  {
    std::lock_guard<std::mutex> lock(Di().Polling.Lock);
    EXPECT_EQ(St(1).BinaryIn[0], 1);  // the oldest, decoded
    EXPECT_EQ(St(2).BinaryIn[0], 0);  // still waiting
  }
  ExtractStep(Di());
  ExtractStep(Di());  // names no station: decoded as 0
  ExtractStep(Di());  // empty store: nothing happens
  EXPECT_EQ(Di().Received.Count(), 0u);
  const std::string log = Log();
  EXPECT_NE(log.find("ExtractDATA, mess : " + HexOf(kGood) + " \r\n"), std::string::npos);
  EXPECT_NE(log.find("ExtractDATA : DecodeMess = 1\r\n"), std::string::npos);
  EXPECT_NE(log.find("ExtractDATA : DecodeMess = 0\r\n"), std::string::npos);
}

TEST_F(Reception, WritesItsStepsToTheDebugLog) {
  line_.Feed(Wire(kGood));
  ReceiveAll();
  const std::string log = Log();
  std::size_t at = 0;
  for (const char *step : {"ReceiveDATA : Prefix", "ReceiveDATA : Message", "ReceiveDATA : XOR OK",
                           "ReceiveDATA : SaveIt", "insert REC : \r\n"}) {
    at = log.find(step, at);
    EXPECT_NE(at, std::string::npos) << step;
  }
}

// A LEN that no message can have (below 2, or more than 255 bytes in all)
// must not leave reception waiting: the next good message is still found.
TEST_F(Reception, ALengthThatCannotMakeAMessageRestartsTheHunt) {
  for (int len : {0, 1, 254, 255}) {
    SCOPED_TRACE(len);
    Di().Received.Clear();
    line_.Feed(kPrefix + Bytes({kDriverAddress, len}) + Wire(kGood));
    EXPECT_EQ(ReceiveAll(), 1);
    ASSERT_EQ(Di().Received.Count(), 1u);
    EXPECT_EQ(Stored()[0].Message.str(), kGood);
  }
}

TEST_F(Reception, AMessageThatNeverCompletesWaitsUntilReceptionIsReset) {
  // LEN promises 40 bytes; 5 ever come.
  line_.Feed(kPrefix + Bytes({kDriverAddress, 40, 'Y', 0, 0}));
  EXPECT_EQ(ReceiveAll(), 0);
  line_.Feed(Wire(kGood));
  EXPECT_EQ(ReceiveAll(), 0);  // swallowed as the rest of the partial message
  line_.ClearReceived();
  ResetReception(Di());
  line_.Feed(Wire(kGood));
  EXPECT_EQ(ReceiveAll(), 1);
}

TEST_F(Reception, WithoutAPrefixEveryByteStartsAMessage) {
  Di().Global.Prefix.clear();
  line_.Feed(kGood);
  EXPECT_EQ(ReceiveAll(), 1);
  EXPECT_EQ(Stored()[0].Message.str(), kGood);
}

}  // namespace
}  // namespace zl::test
