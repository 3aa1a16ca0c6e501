// Each ZL2 command answered by a simulated controller, over loopback.
#include <ctime>

#include "SimFixture.h"

namespace zl::test {
namespace {

using sim::ControllerModel;

class ControllerAnswers : public SimTest {
 protected:
  void SetUp() override {
    StartSim();
    model_ = sim_->Station(1);
    ASSERT_NE(model_, nullptr);
    client_ = Connect();
  }
  ControllerModel *model_ = nullptr;
  std::unique_ptr<WireClient> client_;
};

TEST_F(ControllerAnswers, ReadsAnswerWithTheControllersValues) {
  for (int i = 0; i < 96; ++i) model_->SetBinaryInput(i, i == 0 || i == 9 || i == 17 || i == 95);
  model_->SetAnalogWord(0, 0x8FFF);
  model_->SetAnalogWord(1, 0x0080);
  for (int i = 2; i < 8; ++i) model_->SetAnalogWord(i, static_cast<uint16_t>(i));
  for (int i = 0; i < 16; ++i) model_->SetCounter(i, static_cast<uint16_t>(0x0100 * i + 1));
  model_->SetMemory(300, Bytes({0xAA, 0xBB, 0xCC}));
  model_->SetQqBytes(0, 16, 4, {1, 2, 3, 4});

  std::string twelve = Bytes({0x01, 0x02, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0x80});
  std::string analog = Bytes({0x8F, 0xFF, 0x00, 0x80, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7});
  std::string counters;
  for (int i = 0; i < 16; ++i) counters += Bytes({i, 1});
  struct Case {
    const char *what;
    std::string command;
    std::string items;
  } cases[] = {
      {"B mask 0: all twelve groups", Bytes({'B', 0}), Bytes({'B', 0}) + twelve},
      {"B mask 5: groups 0 and 2", Bytes({'B', 5}), Bytes({'B', 5, 0x01, 0x02})},
      {"A: big-endian words, bit 15 marks 12 bits", Bytes({'A', 1}), Bytes({'A', 1}) + analog},
      {"C: eight big-endian counts per group", Bytes({'C', 3}), Bytes({'C', 3}) + counters},
      {"N: memory bytes", Bytes({'N', 0x2C, 0x01, 3}),
       Bytes({'N', 0x2C, 0x01, 3, 0xAA, 0xBB, 0xCC})},
      {"Qq: four bytes per descriptor, zero when unknown", Bytes({'Q', 'q', 0, 16, 4, 9, 9, 9}),
       Bytes({'Q', 'q', 1, 2, 3, 4, 0, 0, 0, 0})},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Ask(*client_, c.command), c.items);
  }
}

TEST_F(ControllerAnswers, AnalogBlockInMemoryHoldsThreeByteReals) {
  model_->SetAnalogWord(0, 0x8FFF);  // 12-bit full scale: 100 %
  model_->SetAnalogWord(1, 0x0000);  // 0 %
  std::string items = Ask(*client_, Bytes({'N', 40, 0, 6}));
  EXPECT_EQ(items, Bytes({'N', 40, 0, 6, 0x46, 0x90, 0x00, 0, 0, 0}));
}

TEST_F(ControllerAnswers, StringVariableIsReadInFourCharacterParts) {
  // Parts of the STRING at 0 32 252 run through 252..255 and wrap to 0..3.
  std::string command = Bytes({'Q', 'q', 0, 32, 252, 0, 32, 255, 0, 32, 0});
  std::string items = Ask(*client_, command);
  ASSERT_EQ(items.size(), 2u + 12u);
  EXPECT_EQ(items.substr(2), "ZL2 VAR3    ");
}

TEST_F(ControllerAnswers, WritesAreEchoedStoredAndReadBack) {
  // "b" stores the outputs and echoes; "B" keeps answering the inputs.
  for (int i = 0; i < 96; ++i) model_->SetBinaryInput(i, false);
  std::string write = Bytes({'b', 3, 0xA5, 0x01});
  EXPECT_EQ(Ask(*client_, write), write);
  EXPECT_TRUE(model_->BinaryOutput(0));
  EXPECT_FALSE(model_->BinaryOutput(1));
  EXPECT_TRUE(model_->BinaryOutput(7));
  EXPECT_TRUE(model_->BinaryOutput(8));
  EXPECT_FALSE(model_->BinaryOutput(9));
  EXPECT_EQ(Ask(*client_, Bytes({'B', 3})), Bytes({'B', 3, 0, 0}));

  // "n" then "N" of the same address.
  std::string n = Bytes({'n', 0x00, 0x03, 3, 0x41, 0xD9, 0x99});
  EXPECT_EQ(Ask(*client_, n), n);
  EXPECT_EQ(Ask(*client_, Bytes({'N', 0x00, 0x03, 3})),
            Bytes({'N', 0x00, 0x03, 3, 0x41, 0xD9, 0x99}));
  EXPECT_EQ(model_->Memory(0x0300, 3), Bytes({0x41, 0xD9, 0x99}));

  // A QQ write, then a QQ read of the same variable.
  EXPECT_EQ(Ask(*client_, Bytes({'Q', 'Q', 0, 16, 8, 0xCD, 0xCC, 0x6C, 0x40})), "QQ");
  EXPECT_EQ(Ask(*client_, Bytes({'Q', 'q', 0, 16, 8})), Bytes({'Q', 'q', 0xCD, 0xCC, 0x6C, 0x40}));

  // "k" writes memory outputs by their type: entry 1 is a BYTE (300.7 keeps
  // 255), entry 2 a REAL (kept as sent), 3..8 registers of their own.
  std::string values = Bytes({0x48, 0x2C, 0xB3, 0x41, 0xD9, 0x99});
  for (int i = 3; i <= 8; ++i) values += Bytes({0x40 + i, 0, 0});
  std::string k = Bytes({'k', 255}) + values;
  EXPECT_EQ(Ask(*client_, k), k);
  EXPECT_EQ(model_->Memory(200, 1), Bytes({255}));
  std::string expected = Bytes({0x47, 0xFE, 0x00, 0x41, 0xD9, 0x99}) + values.substr(6);
  EXPECT_EQ(Ask(*client_, Bytes({'K', 255})), Bytes({'K', 255}) + expected);

  // An "n" on a memory output's address shows in the next "K".
  EXPECT_EQ(Ask(*client_, Bytes({'n', 200, 0, 1, 7})), Bytes({'n', 200, 0, 1, 7}));
  EXPECT_EQ(Ask(*client_, Bytes({'K', 1})), Bytes({'K', 1, 0x42, 0xC0, 0x00}));
}

TEST_F(ControllerAnswers, CounterResetClearsOnlyTheNamedGroups) {
  for (int i = 0; i < 16; ++i) model_->SetCounter(i, 500);
  EXPECT_EQ(Ask(*client_, Bytes({'C', 0x81})), Bytes({'C', 0x81}));
  EXPECT_EQ(model_->Counter(0), 0);
  EXPECT_EQ(model_->Counter(7), 0);
  EXPECT_EQ(model_->Counter(8), 500);
  std::string items = Ask(*client_, Bytes({'C', 3}));
  ASSERT_EQ(items.size(), 2u + 32u);
  EXPECT_EQ(items.substr(2, 16), std::string(16, '\0'));
  EXPECT_EQ(items.substr(18, 2), Bytes({0x01, 0xF4}));
}

int FromBcd(uint8_t b) {
  EXPECT_LE(b >> 4, 9) << "not BCD";
  EXPECT_LE(b & 15, 9) << "not BCD";
  return (b >> 4) * 10 + (b & 15);
}

std::time_t RowTime(const std::string &row) {
  std::tm tm{};
  tm.tm_year = 100 + FromBcd(static_cast<uint8_t>(row[0]));
  tm.tm_mon = FromBcd(static_cast<uint8_t>(row[1])) - 1;
  tm.tm_mday = FromBcd(static_cast<uint8_t>(row[2]));
  tm.tm_hour = FromBcd(static_cast<uint8_t>(row[3]));
  tm.tm_min = FromBcd(static_cast<uint8_t>(row[4]));
  tm.tm_sec = FromBcd(static_cast<uint8_t>(row[5]));
  tm.tm_isdst = -1;
  EXPECT_GE(tm.tm_mon, 0);
  EXPECT_LE(tm.tm_mon, 11);
  EXPECT_GE(tm.tm_mday, 1);
  EXPECT_LE(tm.tm_mday, 31);
  EXPECT_LE(tm.tm_hour, 23);
  EXPECT_LE(tm.tm_min, 59);
  EXPECT_LE(tm.tm_sec, 59);
  return std::mktime(&tm);
}

TEST_F(ControllerAnswers, SampleBlocksCarryConsecutiveBcdTimeStamps) {
  std::time_t previous = 0;
  for (int block : {0, 1, 87}) {
    SCOPED_TRACE(block);
    int address = 0x8000 + 186 * block;
    std::string command = Bytes({'Q', 'N', 72, address & 0xFF, address >> 8, 186});
    std::string items = Ask(*client_, command);
    ASSERT_EQ(items.size(), 6u + 186u);
    EXPECT_EQ(items.substr(0, 6), command);
    for (int r = 0; r < 6; ++r) {
      std::string row = items.substr(6 + 31 * r, 31);
      std::time_t t = RowTime(row);
      if (previous != 0 && !(block == 87 && r == 0)) {
        EXPECT_EQ(t - previous, 60);
      }
      previous = t;
      auto stored = model_->SampleRow(block * 6 + r);
      EXPECT_EQ(row, std::string(stored.begin(), stored.end()));
    }
  }
}

TEST_F(ControllerAnswers, CommandsTheControllerCannotCarryOutGetErrorSix) {
  std::string before = model_->Memory(0x0400, 2);
  struct Case {
    const char *what;
    std::string command;
  } cases[] = {
      {"unknown letter", Bytes({'Z', 1})},
      {"B with a byte too many", Bytes({'B', 0, 0})},
      {"b with too few data bytes", Bytes({'b', 3, 1})},
      {"n whose size does not match", Bytes({'n', 0x00, 0x04, 3, 1, 2})},
      {"N longer than an answer can carry", Bytes({'N', 0, 0, 250})},
      {"QN of an unknown kind", Bytes({'Q', 'N', 73, 0x00, 0x80, 186})},
      {"QQ with a partial value", Bytes({'Q', 'Q', 0, 16, 8, 1})},
      {"Qq with a partial descriptor", Bytes({'Q', 'q', 0, 16})},
      {"empty command", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Ask(*client_, c.command), Bytes({'E', 6}));
  }
  EXPECT_EQ(model_->Memory(0x0400, 2), before);
}

TEST_F(ControllerAnswers, EachStationOnTheLineAnswersForItself) {
  for (int i = 0; i < 8; ++i) {
    sim_->Station(2)->SetBinaryInput(i, i == 0);
    sim_->Station(1)->SetBinaryInput(i, false);
  }
  EXPECT_EQ(Ask(*client_, Bytes({'B', 1}), 3, 7), Bytes({'B', 1, 1}));
  EXPECT_EQ(Ask(*client_, Bytes({'B', 1}), 0, 5), Bytes({'B', 1, 0}));
  EXPECT_EQ(sim_->Stats(2).Answers, 1u);
  EXPECT_EQ(sim_->Stats(1).Answers, 1u);
}

TEST(ControllerMotion, ValuesMoveUnlessFrozenAndFollowTheSeed) {
  ParameterSet config = TestConfig();
  sim::ControllerModel a(config.Stations[0], 1, 42), b(config.Stations[0], 1, 42),
      c(config.Stations[0], 1, 43);
  std::string inputs[3];
  sim::ControllerModel *models[3] = {&a, &b, &c};
  for (int m = 0; m < 3; ++m)
    for (int i = 0; i < 16; ++i) inputs[m] += models[m]->BinaryInput(i) ? '1' : '0';
  EXPECT_EQ(inputs[0], inputs[1]);
  EXPECT_NE(inputs[0], inputs[2]);

  b.SetFrozen(true);
  uint16_t counter = a.Counter(0), frozenCounter = b.Counter(0);
  uint16_t word = a.AnalogWord(0);
  for (int i = 0; i < 50; ++i) {
    a.Advance(1.0);
    b.Advance(1.0);
  }
  EXPECT_NE(a.Counter(0), counter);
  EXPECT_NE(a.AnalogWord(0), word);
  EXPECT_EQ(a.AnalogWord(0) & 0x8000, 0x8000) << "even inputs stay 12-bit";
  EXPECT_EQ(b.Counter(0), frozenCounter);
  // A READ variable moves, a variable the driver writes does not.
  EXPECT_NE(a.QqBytes(0, 16, 4), b.QqBytes(0, 16, 4));
  EXPECT_EQ(a.QqBytes(0, 16, 8), b.QqBytes(0, 16, 8));
}

}  // namespace
}  // namespace zl::test
