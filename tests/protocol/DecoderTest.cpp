// Decoding of hand-made messages into station KOTELNA (address 5) of the
// test line, item by item, and a battery of malformed messages.
#include <cstring>
#include <random>

#include "support/EngineFixture.h"

#include "protocol/Decoder.h"
#include "protocol/RequestFrames.h"
#include "support/TestSupport.h"
#include "util/Encodings.h"

namespace zl::test {
namespace {

class Decoder : public EngineTest {
 protected:
  void SetUp() override { Load(); }

  int Decode(std::string_view items, std::string_view frame = {}) {
    return DecodeResponse(Di(), Str255(Answer(kKotelna, items)), Str255(frame));
  }
  // What the message added to the event line after the station's name.
  std::string EventTail() {
    const std::string head = std::string(60, ' ') + "<<<-- KOTELNA - ";
    const std::string event = Di().PendingEvent.str();
    EXPECT_EQ(event.substr(0, head.size()), head);
    return event.size() >= head.size() ? event.substr(head.size()) : event;
  }
  double Analog(int i) { return FromReal6(St(1).AnalogIn[i]); }
};

std::string Word(int w) {
  return Bytes({(w >> 8) & 0xFF, w & 0xFF});
}

std::string Real3(double v) {
  return EncodeReal3(v).str();
}

TEST_F(Decoder, AMessageMustBeAddressedToTheDriverAndNameAStation) {
  struct Case {
    const char *what;
    std::string message;
    int result;
  } cases[] = {
      {"Y for another address", Answer(kKotelna, "B\x01\x0F", 'Y', 31), 0},
      {"y for another address", Answer(kKotelna, "B\x01\x0F", 'y', 31), 0},
      {"no such station", Answer(99, "B\x01\x0F"), 0},
      {"too short to name a station", Sealed(Bytes({kDriverAddress, 0, 'Y', 0})), 0},
      {"nothing at all", "", 0},
      {"other types name the station first", Sealed(Bytes({kKotelna, 0}) + "B\x01\x0F\x03"), 1},
      {"y to the driver", Answer(kKotelna, "B\x01\x0F", 'y'), 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    St(1).Fault = 1;
    St(1).BinaryIn[0] = 0;
    Di().PendingEvent.clear();
    EXPECT_EQ(DecodeResponse(Di(), Str255(c.message), Str255()), c.result);
    EXPECT_EQ(St(1).Fault, c.result ? 0 : 1);
    EXPECT_EQ(St(1).BinaryIn[0], c.result);
    EXPECT_EQ(Di().PendingEvent.empty(), c.result == 0);
  }
}

TEST_F(Decoder, AnyDecodedMessageClearsTheStationsSilenceSleepAndFault) {
  Station &st = St(1);
  st.SecondsSinceAnswer = ToReal6(12.5);
  st.SleepRemaining = ToReal6(30);
  st.TimeoutRun = 4;
  st.Fault = 1;
  EXPECT_EQ(Decode(""), 1);
  EXPECT_EQ(FromReal6(st.SecondsSinceAnswer), 0.0);
  EXPECT_EQ(FromReal6(st.SleepRemaining), 0.0);
  EXPECT_EQ(st.TimeoutRun, 0);
  EXPECT_EQ(st.Fault, 0);
  EXPECT_EQ(EventTail(), "");
  EXPECT_NE(Log().find(" Mess : " + HexOf(Answer(kKotelna, "")) + " \r\n"), std::string::npos);
}

TEST_F(Decoder, BinaryInputsByMask) {
  // Mask 0: all twelve groups.
  std::string twelve;
  for (int g = 0; g < 12; ++g) twelve += static_cast<char>(0xFF);
  EXPECT_EQ(Decode("B" + Bytes({0}) + twelve), 1);
  for (int i = 0; i < 96; ++i) EXPECT_EQ(St(1).BinaryIn[i], 1) << i;
  EXPECT_EQ(St(1).NewBinaryInputs, 1);
  EXPECT_EQ(EventTail(), "BI ");

  // Mask 5: groups 0 and 2, one byte each.
  std::memset(St(1).BinaryIn, 0, sizeof St(1).BinaryIn);
  EXPECT_EQ(Decode(Bytes({'B', 5, 0xFF, 0x81})), 1);
  for (int i = 0; i < 96; ++i) {
    const bool on = i < 8 || i == 16 || i == 23;
    EXPECT_EQ(St(1).BinaryIn[i], on ? 1 : 0) << i;
  }
}

TEST_F(Decoder, AnalogInputsScaleTheirRawReadingBetweenTheLimits) {
  // Group 0: inputs 1..8. Input 1: 0..100, no offset; input 2: -50..50, offset 10.
  St(1).AnalogLimits[3].High = ToReal6(100.0);
  std::string words = Word(0x8FFF) + Word(250);
  for (int i = 3; i <= 8; ++i) words += Word(0x0080);
  EXPECT_EQ(Decode("A" + Bytes({1}) + words), 1);
  EXPECT_EQ(St(1).AnalogRaw[1], 4095);
  EXPECT_EQ(Analog(1), FromReal6(ToReal6(100.0)));
  EXPECT_EQ(St(1).AnalogRaw[2], 255);  // 250 + 10, limited to the 8-bit range
  EXPECT_EQ(Analog(2), 50.0);
  EXPECT_EQ(St(1).AnalogRaw[3], 128);
  EXPECT_EQ(Analog(3), FromReal6(ToReal6(100.0 * 128 / 255)));
  EXPECT_EQ(Analog(9), 0.0);
  EXPECT_EQ(St(1).NewAnalogInputs, 1);
  EXPECT_EQ(EventTail(), "AItolvin ");
  const std::string log = Log();
  EXPECT_NE(log.find("AI Word : 36863\r\n"), std::string::npos);
  EXPECT_NE(log.find("ADSM     -50.00 : ADHM      50.00\r\n"), std::string::npos);
  EXPECT_NE(log.find("AI  2 :      50.00\r\n"), std::string::npos);
}

TEST_F(Decoder, MemoryOutputsComeAsThreeByteReals) {
  EXPECT_EQ(Decode("K" + Bytes({0x05}) + Real3(1.5) + Real3(-4.0) + "k" + Bytes({1}) + Real3(9)),
            1);
  EXPECT_EQ(FromReal6(St(1).MemoryOutValues[1]), 1.5);
  EXPECT_EQ(FromReal6(St(1).MemoryOutValues[2]), 0.0);
  EXPECT_EQ(FromReal6(St(1).MemoryOutValues[3]), -4.0);
  EXPECT_EQ(St(1).NewMemory, 1);
  EXPECT_EQ(EventTail(), "KI KO ");
}

TEST_F(Decoder, CounterResetConfirmationSettlesWithoutData) {
  // Counter 1: REAL, factor 0.5; counter 2: HOUR, factor 2, start value 10.
  St(1).CounterRaw[1] = 10;
  St(1).CounterRaw[2] = 3;
  // The "B" item follows the mask at once: the reset carries no data.
  EXPECT_EQ(Decode(Bytes({'C', 129, 'B', 1, 0x01})), 1);
  EXPECT_EQ(FromReal6(St(1).CounterValues[1]), 5.0);
  EXPECT_EQ(St(1).CounterRaw[1], 10);
  EXPECT_EQ(FromReal6(St(1).CounterValues[2]), 16.0);
  EXPECT_EQ(St(1).CounterRaw[2], 0);
  EXPECT_EQ(St(1).NewCounters, 1);
  EXPECT_EQ(St(1).BinaryIn[0], 1);
  EXPECT_EQ(EventTail(), Cp("CTC/nulování BI "));
}

TEST_F(Decoder, CounterReadingsSettleAtOnceOnlyForAStationWithAPhone) {
  std::string counts;
  for (int k = 1; k <= 8; ++k) counts += Word(0x0100 + k);
  EXPECT_EQ(Decode("C" + Bytes({1}) + counts), 1);
  EXPECT_EQ(St(1).CounterRaw[1], 0x0101);
  EXPECT_EQ(St(1).CounterRaw[8], 0x0108);
  EXPECT_EQ(FromReal6(St(1).CounterValues[1]), 0.0);
  EXPECT_EQ(EventTail(), "CTC ");

  // CERPADLA (address 7) has a phone number: kind REAL (the default), factor 1.
  EXPECT_EQ(DecodeResponse(Di(), Str255(Answer(kCerpadla, "C" + Bytes({1}) + counts)), Str255()),
            1);
  EXPECT_EQ(FromReal6(St(2).CounterValues[3]), 0x0103);
}

TEST_F(Decoder, MemoryReadAnswersByAddress) {
  struct Case {
    const char *what;
    std::string item;
    std::string text;
  } cases[] = {
      {"analog block, two reals", Bytes({'N', 40, 0, 6}) + Real3(12.5) + Real3(-3), "AI "},
      {"word memory input", Bytes({'N', 0x00, 0x01, 2, 0x34, 0x12}), "MI1 "},
      {"real memory input", Bytes({'N', 0x02, 0x01, 3}) + Real3(2.25), "MI2 "},
      {"byte memory input", Bytes({'N', 0x05, 0x01, 1, 200}), "MI3 "},
      {"memory block", Bytes({'N', 0x00, 0x03, 6, 0xCD, 0xAB}) + Real3(7) + Bytes({9}),
       "MB(0300) "},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Decode(c.item), 1);
    EXPECT_EQ(EventTail(), c.text);
  }
  EXPECT_EQ(Analog(1), 12.5);
  EXPECT_EQ(Analog(2), -3.0);
  EXPECT_EQ(Analog(3), 0.0);
  EXPECT_EQ(FromReal6(St(1).MemoryInValues[1]), 0x1234);
  EXPECT_EQ(FromReal6(St(1).MemoryInValues[2]), 2.25);
  EXPECT_EQ(FromReal6(St(1).MemoryInValues[3]), 200);
  const BlockValues &block = St(1).BlockItemValues.at(0);
  EXPECT_EQ(block[0].str(), Bytes({0xCD, 0xAB}));
  EXPECT_EQ(block[1].str(), Real3(7));
  EXPECT_EQ(block[2].str(), Bytes({9}));
  EXPECT_NE(Log().find("decodeMess MI : index   1 adr 0100 value 4660.0\r\n"), std::string::npos);
}

TEST_F(Decoder, MemoryBlockItemsStopWhereTheDataRunsOut) {
  const BlockValues &block = St(1).BlockItemValues.at(0);
  EXPECT_EQ(Decode(Bytes({'N', 0x00, 0x03, 4, 1, 2, 3, 4})), 1);
  EXPECT_EQ(block[0].str(), Bytes({1, 2}));
  EXPECT_EQ(block[1].str(), Bytes({0, 0, 0, 0}));  // needs 3, only 2 left
}

TEST_F(Decoder, MemoryInputsReadAsOneBlock) {
  St(1).MemoryInBlockRead = true;
  EXPECT_EQ(Decode(Bytes({'N', 0x00, 0x01, 9}) + Real3(1) + Real3(2) + Real3(3)), 1);
  EXPECT_EQ(FromReal6(St(1).MemoryInValues[1]), 1.0);
  EXPECT_EQ(FromReal6(St(1).MemoryInValues[3]), 3.0);
  EXPECT_EQ(EventTail(), "MI/block");
}

TEST_F(Decoder, WriteAcknowledgmentsAndErrors) {
  EXPECT_EQ(Decode(Bytes({'n', 0x03, 0x02, 2, 0, 0, 'b', 3, 1, 2, 'E', 7, 'E', 12})), 1);
  EXPECT_EQ(EventTail(), Cp("zápis na adr. 0203 BO chyba č.7 (Chyba řízení na stanici) "
                            "chyba č.12 (neznámá chyba) "));
  EXPECT_EQ(St(1).ErrorItemCount, 2);
  EXPECT_EQ(St(1).FailCount, 2);
  EXPECT_EQ(St(1).Fault, 1);
  for (int n = 0; n <= 8; ++n) EXPECT_LE(ErrorItemText(static_cast<uint8_t>(n)).size(), 24u);
  EXPECT_EQ(ErrorItemText(0), Cp("Příjem pasiv. hlášení OK"));
}

// The host may set the counter to anything; counting on wraps it round
// instead of overflowing.
TEST_F(Decoder, TheErrorItemCounterWrapsRound) {
  St(1).ErrorItemCount = INT32_MAX;
  EXPECT_EQ(Decode(Bytes({'E', 7, 'E', 7})), 1);
  EXPECT_EQ(St(1).ErrorItemCount, INT32_MIN + 1);
}

TEST_F(Decoder, AnActiveMessageIsAcknowledgedWithItsRoutingTurnedRound) {
  EXPECT_EQ(Decode("H"), 1);
  EXPECT_EQ(St(1).ActiveMessage, 1);
  EXPECT_EQ(St(1).Online, 1);
  EXPECT_EQ(EventTail(), "AH ");
  EXPECT_EQ(Di().Polling.FollowUpPending, 1);
  const std::string expected =
      kPrefix + Sealed(Bytes({0, 0, 'y', 0, kKotelna, 0, 'H', 0x03})) + kSuffix;
  EXPECT_EQ(Di().Polling.FollowUpFrame.str(), expected);
  EXPECT_NE(Log().find("Answer : AH\r\n"), std::string::npos);
  EXPECT_NE(Log().find("SEND : " + HexOf(expected) + " \r\n"), std::string::npos);

  // A control error asks for the acknowledgment too; a message of another
  // type is sent back as it came.
  const std::string other = Sealed(Bytes({kKotelna, 0}) + "X\x03");
  EXPECT_EQ(DecodeResponse(Di(), Str255(other), Str255()), 1);
  EXPECT_EQ(St(1).ControlError, 1);
  EXPECT_EQ(EventTail(), Cp("chyba řízení "));
  // It waits behind the one already due; a message that asks for none
  // leaves both waiting.
  ASSERT_EQ(Di().Polling.MoreFollowUps.size(), 1u);
  EXPECT_EQ(Di().Polling.MoreFollowUps[0].str(), kPrefix + other + kSuffix);
  EXPECT_EQ(Decode("B\x01\x01"), 1);
  EXPECT_EQ(Di().Polling.FollowUpPending, 1);
  EXPECT_EQ(Di().Polling.FollowUpFrame.str(), expected);
  EXPECT_EQ(Di().Polling.MoreFollowUps.size(), 1u);
}

TEST_F(Decoder, QqWriteAcknowledgmentConsumesTheRest) {
  EXPECT_EQ(Decode("QQB\x01\x01"), 1);
  EXPECT_EQ(EventTail(), Cp("QQ/zápis"));
  EXPECT_EQ(St(1).BinaryIn[0], 0);
}

TEST_F(Decoder, AnUnsolicitedQqMessageSetsTheRuntimeValue) {
  EXPECT_EQ(Decode(Bytes({'Q', 'q', 0x78, 0x56, 0x34, 0x12})), 1);
  EXPECT_EQ(St(1).RuntimeValue, 0x12345678u);
  EXPECT_EQ(St(1).ActiveMessage, 1);
  EXPECT_EQ(St(1).Online, 1);
  EXPECT_EQ(EventTail(), "AH ZL2 ");
}

// The values of a QQ read land in the variables the request named, found in
// the request frame after whatever PREFIX is configured.
TEST_F(Decoder, QqReadAnswersFillTheRequestedVariables) {
  const std::string descriptors =
      Bytes({0, 16, 4, 0, 16, 8, 0, 32, 254, 0, 32, 1, 0, 16, 12, 0, 16, 16, 0, 16, 20});
  const std::string values = Bytes({0xFE, 0xFF, 0xFF, 0xFF}) +  // WORD -2
                             Bytes({0xCD, 0xCC, 0x6C, 0x40}) +  // REAL 3.7
                             "AB\x01"
                             "C" +                              // STRING part 2
                             "WXYZ" +                           // STRING part 5 (252 + 5, wrapped)
                             Bytes({9, 9, 9, 9}) +              // INTEGER, a WRITE variable
                             Bytes({0x00, 0x00, 0x00, 0x80}) +  // LONGINT
                             Bytes({0xFF, 0xFF, 0xFF, 0xFF});   // CARDINAL
  for (const char *prefix : {"", "\x10", "\x10\x02", "\x10\x02\x02"}) {
    SCOPED_TRACE(HexOf(prefix));
    for (QqValue &v : St(1).QqValues) {
      v.Number = 0;
      v.Int = 0;
      v.Text = QqValue::InitialText();
    }
    Di().Global.Prefix = prefix;
    QueuedRequest request{1, kReadQq, 0, Str255(descriptors), nullptr, 0};
    const Str255 frame = BuildRequestFrame(Di(), request);
    EXPECT_EQ(Decode("Qq" + values, frame.view()), 1);
    EXPECT_EQ(EventTail(), Cp("QQ/čtení (7x) "));
    const auto &vars = St(1).QqValues;
    EXPECT_EQ(vars[0].Number, -2.0f);
    EXPECT_EQ(vars[1].Number, static_cast<float>(FromReal6(ToReal6(3.7f))));
    EXPECT_EQ(vars[2].Text.view().substr(0, 32), "        AB C        WXYZ        ");
    EXPECT_EQ(vars[3].Number, 0.0f);  // WRITE: not stored
    EXPECT_EQ(vars[4].Int, INT32_MIN);
    EXPECT_EQ(vars[5].Number, 4294967295.0f);
  }
}

TEST_F(Decoder, AQqReadAnswerWithFewerValuesStoresWhatItHas) {
  QueuedRequest request{1, kReadQq, 0, Str255(Bytes({0, 16, 4, 0, 16, 16})), nullptr, 0};
  const Str255 frame = BuildRequestFrame(Di(), request);
  EXPECT_EQ(Decode("Qq" + Bytes({7, 0, 0, 0}), frame.view()), 1);
  EXPECT_EQ(St(1).QqValues[0].Number, 7.0f);
  EXPECT_EQ(St(1).QqValues[4].Int, 0);
}

// An answer with more values than its frame asked for (one that met another
// request's frame) stops at the frame's trailer: the PRESUFFIX, checksum and
// SUFFIX bytes are no variable's address.
TEST_F(Decoder, AQqReadAnswerWithMoreValuesStopsAtTheFramesTrailer) {
  QueuedRequest request{1, kReadQq, 0, Str255(Bytes({0, 16, 4})), nullptr, 0};
  const Str255 frame = BuildRequestFrame(Di(), request);
  const std::string trailer = frame.str().substr(frame.size() - 3);
  QqVariable decoy = St(1).QqVariables[0];
  std::memcpy(decoy.Address, trailer.data(), 3);
  St(1).QqVariables.push_back(decoy);
  St(1).QqValues.emplace_back();
  EXPECT_EQ(Decode("Qq" + Bytes({7, 0, 0, 0, 42, 0, 0, 0}), frame.view()), 1);
  EXPECT_EQ(St(1).QqValues[0].Number, 7.0f);
  EXPECT_EQ(St(1).QqValues.back().Number, 0.0f);
}

// Six records of sample memory: record r holds the time stamp 0x20 0x24
// 0x12 0x3r 0x59 0x00, status r, then eight reals r + v.
std::string SampleRecords() {
  std::string data;
  for (int r = 0; r < 6; ++r) {
    data += Bytes({0x20, 0x24, 0x12, 0x30 + r, 0x59, 0x00, r});
    for (int v = 1; v <= 8; ++v) data += Real3(r + v);
  }
  return data;
}

std::string SampleBlock(int kind, int address) {
  return Bytes({'Q', 'N', kind, address & 0xFF, address >> 8, 186}) + SampleRecords();
}

class SampleBlocks : public Decoder {
 protected:
  void SetUp() override {
    Decoder::SetUp();
    buffer_.assign(16862, 0);
    Di().Sample.BufferAddress = buffer_.data();
    Di().Sample.Busy = 1;
    Di().Sample.Block = 1;
    Di().Sample.TransferRunning = 1;
    Di().Sample.TransferStation = 1;
  }
  uint32_t BufferU32(std::size_t offset) {
    uint32_t v;
    std::memcpy(&v, buffer_.data() + offset, 4);
    return v;
  }
  std::vector<uint8_t> buffer_;
};

TEST_F(SampleBlocks, TheLastBlockFillsRows523To528AndFinishesTheTransfer) {
  // One spare byte after the data, then a "B" item: the walk resumes there.
  EXPECT_EQ(Decode(SampleBlock(72, 0x8000 + 186 * 87) + "~B\x01\x01"), 1);
  EXPECT_EQ(EventTail(), Cp("vzorky (523 až 528) BI "));
  const uint8_t *row = Di().Sample.Table[522].Bytes;
  EXPECT_EQ(std::string(row, row + 7), Bytes({20, 24, 12, 30, 59, 0, 0}));
  EXPECT_EQ(row[7], 3);
  EXPECT_EQ(std::string(row + 8, row + 11), Real3(1));
  const uint8_t *last = Di().Sample.Table[527].Bytes;
  EXPECT_EQ(last[3], 35);
  EXPECT_EQ(std::string(last + 36, last + 39), Real3(13));
  EXPECT_EQ(Di().Sample.Busy, 0);
  EXPECT_EQ(BufferU32(8), 528u);
  EXPECT_EQ(BufferU32(24), 2u);
}

TEST_F(SampleBlocks, AnEarlierBlockReportsProgressOnly) {
  EXPECT_EQ(Decode(SampleBlock(136, 0x8000 + 186)), 1);
  EXPECT_EQ(EventTail(), Cp("vzorky (7 až 12) "));
  EXPECT_EQ(Di().Sample.Table[6].Bytes[0], 20);
  EXPECT_EQ(Di().Sample.Busy, 1);
  EXPECT_EQ(BufferU32(8), 12u);
  EXPECT_EQ(BufferU32(24), 0u);
}

TEST_F(SampleBlocks, BlocksOutsideTheTableOrOfAnotherKindAreNotStored) {
  struct Case {
    const char *what;
    int kind, address;
  } cases[] = {
      {"past row 528", 72, 0x8000 + 186 * 88},       {"far past the table", 72, 0x8000 + 186 * 170},
      {"below the sample memory", 72, 0x8000 - 186}, {"not on a block boundary", 72, 0x8000 + 93},
      {"kind of another sample block", 76, 0x8000},
  };
  const auto before =
      std::vector<SampleRow>(Di().Sample.Table.get(), Di().Sample.Table.get() + 528);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Decode(SampleBlock(c.kind, c.address) + "~B\x01\x01"), 1);
    EXPECT_EQ(EventTail(), "BI ");
  }
  // Nor is a block that comes while no transfer runs, or from a station
  // other than the transfer's.
  Di().Sample.TransferStation = 2;
  EXPECT_EQ(Decode(SampleBlock(72, 0x8000)), 1);
  Di().Sample.TransferStation = 1;
  Di().Sample.TransferRunning = 0;
  EXPECT_EQ(Decode(SampleBlock(72, 0x8000)), 1);
  EXPECT_EQ(std::memcmp(before.data(), Di().Sample.Table.get(), sizeof(SampleRow) * 528), 0);
  EXPECT_EQ(Di().Sample.Busy, 1);
  EXPECT_EQ(BufferU32(8), 0u);
}

TEST_F(Decoder, SkippedItemsHaveTheirOwnLengths) {
  struct Case {
    const char *what;
    std::string items;
    std::string text;
  } cases[] = {
      {"routing and line items", "L\x01R\x02y\x01\x02\x03", "BI "},
      {"password with 1: eight bytes", "QH1abcde", "HESLO BI "},
      {"password without 1: three bytes", "QH0", "BI "},
      {"line control: three bytes", "Q!x", "BI "},
      {"other Q item: two bytes", "Qz", "BI "},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    St(1).BinaryIn[0] = 0;
    EXPECT_EQ(Decode(c.items + "B\x01\x01"), 1);
    EXPECT_EQ(St(1).BinaryIn[0], 1);
    EXPECT_EQ(EventTail(), c.text);
  }
  // A letter that opens no item ends the walk.
  St(1).BinaryIn[0] = 0;
  EXPECT_EQ(Decode("ZB\x01\x01"), 1);
  EXPECT_EQ(St(1).BinaryIn[0], 0);
}

// Items that claim more bytes than the message holds end the walk without
// any effect of their own (no PRESUFFIX here: the checksum follows the item).
TEST_F(Decoder, TruncatedItemsEndTheWalkUntouched) {
  const std::string items[] = {
      "B",                                           // no mask
      Bytes({'B', 0, 1, 2, 3}),                      // mask 0 wants twelve bytes
      Bytes({'B', 0xFF, 1}),                         // eight groups, one byte
      Bytes({'A', 1}) + Word(5),                     // eight words, one present
      Bytes({'K', 3}) + Real3(1),                    // two reals, one present
      Bytes({'C', 1, 0, 1}),                         // eight counts, one present
      Bytes({'N', 40, 0, 9}) + Real3(5),             // nine bytes announced, three present
      Bytes({'N', 40}),                              // no length
      "E",                                           // no number
      Bytes({'Q', 'N', 72, 0, 0x80, 186, 1, 2, 3}),  // a sample block of 3 bytes
      "QH",                                          // no password flag
      "Q",                                           // no sub-letter
  };
  const auto before = std::make_unique<Station>(St(1));
  for (const std::string &item : items) {
    SCOPED_TRACE(HexOf(item));
    const std::string message = Answer(kKotelna, item, 'Y', kDriverAddress, "");
    EXPECT_EQ(DecodeResponse(Di(), Str255(message), Str255()), 1);
    EXPECT_EQ(EventTail(), "");
    const Station &st = St(1);
    EXPECT_EQ(std::memcmp(st.BinaryIn, before->BinaryIn, sizeof st.BinaryIn), 0);
    EXPECT_EQ(FromReal6(st.AnalogIn[1]), FromReal6(before->AnalogIn[1]));
    EXPECT_EQ(st.AnalogRaw[1], before->AnalogRaw[1]);
    EXPECT_EQ(FromReal6(st.MemoryOutValues[1]), FromReal6(before->MemoryOutValues[1]));
    EXPECT_EQ(st.CounterRaw[1], before->CounterRaw[1]);
    EXPECT_EQ(st.ErrorItemCount, 0);
    EXPECT_EQ(st.NewBinaryInputs + st.NewAnalogInputs + st.NewMemory + st.NewCounters, 0);
  }
  EXPECT_EQ(Di().Sample.Table[0].Bytes[0], 0);
}

// Random and cut messages with a valid frame around them, random request
// frames: whatever they claim, nothing is read or written out of bounds
// (run under AddressSanitizer), and every call ends.
TEST_F(Decoder, MalformedMessagesNeverReachOutsideTheirBuffers) {
  Di().Log.Disable();
  std::vector<uint8_t> buffer(16862, 0);
  Di().Sample.BufferAddress = buffer.data();
  std::mt19937 rng(7);
  const std::string letters = "YyLRHXEBbAKkCNnQqNH!1";
  const std::string seeds[] = {
      Bytes({'B', 0}) + std::string(12, '\x55'),
      Bytes({'A', 0xFF}) + std::string(128, '\x81'),
      Bytes({'C', 0x3F}) + std::string(96, '\x01'),
      Bytes({'N', 0x00, 0x03, 250}) + std::string(6, '\x02'),
      SampleBlock(72, 0x8000 + 186 * 87),
      "Qq" + std::string(200, '\x41'),
  };
  auto randomFrame = [&] {
    std::string f(rng() % 256, '\0');
    for (char &ch : f) ch = static_cast<char>(rng() % 4 == 0 ? 'q' : rng());
    return f;
  };
  int decoded = 0;
  for (const std::string &seed : seeds) {
    for (std::size_t cut = 0; cut <= seed.size(); ++cut) {
      decoded += Decode(seed.substr(0, cut), randomFrame());
    }
  }
  for (int i = 0; i < 3000; ++i) {
    std::string items(rng() % 250, '\0');
    for (char &ch : items) {
      ch = static_cast<char>(rng() % 3 == 0 ? letters[rng() % letters.size()] : rng());
    }
    // A message cut anywhere, up to the 255 bytes a message can hold.
    std::string message = Answer(kKotelna, items).substr(0, 255);
    if (rng() % 2) message = message.substr(0, rng() % (message.size() + 1));
    decoded += DecodeResponse(Di(), Str255(message), Str255(randomFrame()));
  }
  EXPECT_GT(decoded, 0);
}

}  // namespace
}  // namespace zl::test
