// The output path: stored values, queued requests, event lines, commands and
// the connection, forcing.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "core/DriverInstance.h"
#include "core/RequestQueues.h"
#include "exchange/OutputPath.h"
#include "support/Bytes.h"
#include "support/ExchangeFixture.h"
#include "util/Encodings.h"

namespace zl {
namespace {

using test::Bytes;
using test::Cp;
using test::ExchangeFixture;

constexpr const char *kStation =
    "ORIGINAL_CHANNELS\nNUM_COUNTER_IN 2\nNUM_MEMORY_IN 3\nNUM_MEMORY_OUT 2\nCallCode 7000\n"
    "QQ READ 2500 0 16 4 WORD\nQQ WRITE 2501 0 16 8 REAL\nQQ BIDIR 2502 0 16 12 LONGINT\n"
    "QQ BIDIR 2503 0 17 0 STRING\n"
    "MEMORY_BLOCK ADDR 768 CHANNEL 3000 CHANNEL_READ 3099 TYPES WORD BIDIR REAL OUTPUT "
    "BYTE INPUT TYPES_END MEMORY_BLOCK_END";

struct Req {
  int station, kind, index;
  std::string data;
};

class OutputPath : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.LoadStations({kStation, "ORIGINAL_CHANNELS\nPHONE D123\nNUM_MEMORY_IN 2",
                                "ORIGINAL_CHANNELS\nNUM_ANALOG_IN 10"}))
        << f.Error();
    f.Services.ClearAll();
  }
  Station &St(int n = 1) { return f.St(n); }
  std::vector<std::string> Lines() { return f.Services.Lines(); }
  static void ExpectQueue(const std::vector<QueuedRequest> &queue, std::vector<Req> expected) {
    ASSERT_EQ(queue.size(), expected.size());
    for (std::size_t i = 0; i < queue.size(); ++i) {
      EXPECT_EQ(queue[i].Station, expected[i].station) << i;
      EXPECT_EQ(queue[i].Kind, expected[i].kind) << i;
      EXPECT_EQ(queue[i].Index, expected[i].index) << i;
      EXPECT_EQ(test::HexOf(queue[i].Data.view()), test::HexOf(expected[i].data)) << i;
    }
  }
  ExchangeFixture f;
};

TEST_F(OutputPath, VariableWritesByType) {
  struct Case {
    uint32_t type;
    uint64_t value;
    float stored;
  };
  const Case cases[] = {
      {ZL_TYPE_BOOL, 0xFF, -1.0f},
      {ZL_TYPE_I8, 0x80, -128.0f},
      {ZL_TYPE_U8, 0x1FF, 255.0f},
      {ZL_TYPE_U16, 0xFFFF, 65535.0f},
      {ZL_TYPE_I16, 0x8000, -32768.0f},
      {ZL_TYPE_U32, 0xFFFFFFFF, 4294967296.0f},
      {ZL_TYPE_SINGLE, std::bit_cast<uint32_t>(3.7f), 3.7f},
      {ZL_TYPE_DOUBLE, std::bit_cast<uint64_t>(1e300), static_cast<float>(INFINITY)},
  };
  for (const Case &c : cases) {
    f.Put(2500, c.type, c.value);
    EXPECT_EQ(St().QqValues[0].Number, c.stored) << "type " << c.type;
  }
  f.Services.ClearAll();
  f.Di.Queues.Clear(QueueId::Primary);
  f.PutDouble(2500, 3.7);                // a WORD sends the value truncated
  f.PutDouble(2501, 3.7);                // a REAL, its single (WRITE or not, a write goes)
  f.Put(2502, ZL_TYPE_I32, 0xFFFFFFFE);  // LONGINT: the second value, the number unchanged
  f.PutDouble(2503, 1.0);                // STRING: stored, reported, not sent
  EXPECT_EQ(St().QqValues[2].Int, -2);
  ExpectQueue(f.Primary(), {{1, 15, 0, Bytes({0, 16, 4, 3, 0, 0, 0})},
                            {1, 15, 0, Bytes({0, 16, 8, 0xCD, 0xCC, 0x6C, 0x40})},
                            {1, 15, 0, Bytes({0, 16, 12, 0xFE, 0xFF, 0xFF, 0xFF})}});
  EXPECT_EQ(Lines(),
            (std::vector<std::string>{"ST1 - QQ[00.10.04]=3.70", "ST1 - QQ[00.10.08]=3.70",
                                      "ST1 - QQ[00.10.0C]=0.00", "ST1 - QQ[00.11.00]=1.00"}));
  EXPECT_EQ(f.Services.Wakes(), 4);
  f.Put(2500, ZL_TYPE_TEXT, 0);  // not a number type: nothing at all
  EXPECT_EQ(Lines().size(), 4u);
  EXPECT_EQ(f.Primary().size(), 3u);
}

TEST_F(OutputPath, BinaryAndMemoryOutputs) {
  f.Put(99, ZL_TYPE_BOOL, 0);  // unchanged: no line, no request
  f.Put(99, ZL_TYPE_BOOL, 255);
  f.Put(597, ZL_TYPE_BOOL, 1);   // station 2 has a phone number: stored, not sent
  f.Put(99, ZL_TYPE_DOUBLE, 0);  // the wrong type
  f.PutDouble(305, 2.5);         // not online: stored, not sent
  St().Online = 1;
  f.PutDouble(306, 0.1);
  f.PutDouble(306, 0.1);  // 0.1 and its 40-bit real differ: compared before rounding
  f.PutDouble(305, 2.5);  // unchanged
  EXPECT_EQ(St().BinaryOut[2], 255);
  EXPECT_EQ(St(2).BinaryOut[0], 1);
  EXPECT_EQ(FromReal6(St().MemoryOutValues[1]), 2.5);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"ST1 - BO3=-1", "ST2 - BO1=1", "ST1 - MO1=2.50",
                                               "ST1 - MO2=0.10", "ST1 - MO2=0.10"}));
  ExpectQueue(f.Primary(), {{1, 4, 1, ""}, {1, 5, 2, ""}, {1, 5, 2, ""}});
}

TEST_F(OutputPath, CountersAndStatusValues) {
  f.PutDouble(257, 12.75);
  f.PutDouble(450, -7.9);
  f.PutDouble(481, 4294967297.0);  // low 32 bits
  f.Put(7000, ZL_TYPE_U32, 0xFFFFFFFF);
  f.Put(466, ZL_TYPE_BOOL, 1);  // bi_new_BI
  f.Put(479, ZL_TYPE_BOOL, 1);  // in_active_message
  f.Put(464, ZL_TYPE_BOOL, 1);  // in_now_comm belongs to the cycle
  f.Put(478, ZL_TYPE_BOOL, 1);  // in_connected_modem likewise
  EXPECT_EQ(FromReal6(St().CounterValues[1]), 12.75);
  EXPECT_EQ(St().TimeoutTotal, -7);
  EXPECT_EQ(St().RequestCount, 1);
  EXPECT_EQ(St().RuntimeValue, 0xFFFFFFFFu);
  EXPECT_EQ(St().NewBinaryInputs, 1);
  EXPECT_EQ(St().ActiveMessage, 1);
  EXPECT_EQ(St().Busy, 0);
  EXPECT_EQ(St().Online, 0);
  EXPECT_EQ(Lines(), (std::vector<std::string>{Cp("ST1 - nastavení počítadla chyb = -7"),
                                               Cp("ST1 - nastavení počítadla zpráv = 1"),
                                               Cp("ST1 - nastavení AH/CallCode = 4294967295")}));
  EXPECT_TRUE(f.Primary().empty() && f.Secondary().empty());
}

TEST_F(OutputPath, ReadAndWriteCommands) {
  const std::pair<uint16_t, uint64_t> writes[] = {{472, 0}, {475, 1},  {461, 1}, {460, 1}, {462, 1},
                                                  {474, 1}, {3099, 1}, {473, 1}, {973, 1}};
  for (auto [channel, value] : writes) f.Put(channel, ZL_TYPE_BOOL, value);
  f.Put(472, ZL_TYPE_U8, 1);  // the wrong type
  ExpectQueue(f.Secondary(), {{1, 0, 1, ""},
                              {1, 1, 1, ""},
                              {1, 2, 1, ""},
                              {1, 7, 1, ""},
                              {1, 17, 1, ""},
                              {1, 6, 1, ""},
                              {1, 6, 2, ""},
                              {1, 6, 3, ""},
                              {2, 8, 1, ""}});
  EXPECT_EQ(f.Secondary()[4].Definition, &St().MemoryBlocks[0]);
  ExpectQueue(f.Primary(), {{1, 4, 1, ""}, {1, 9, 1, ""}});
  EXPECT_EQ(Lines(),
            (std::vector<std::string>{"ST1 - BI", "ST1 - AI zavro", "ST1 - CT", "ST1 - AI kelmar",
                                      "ST1 - BO", "ST1 - KO", Cp("ST1 - čtení MB (memory block)"),
                                      "ST1 -  3 x MI", "ST2 - KI"}));
  EXPECT_EQ(f.Services.Wakes(), 9);

  St().MemoryInBlockRead = true;
  f.Di.Queues.Clear(QueueId::Secondary);
  f.Put(473, ZL_TYPE_BOOL, 1);
  ExpectQueue(f.Secondary(), {{1, 6, 1, ""}});
}

TEST_F(OutputPath, WriteAllOutputsOnlyOnline) {
  f.Di.Log.Enable();
  f.Put(480, ZL_TYPE_BOOL, 1);
  EXPECT_TRUE(f.Primary().empty());
  St().Online = 1;
  f.Put(480, ZL_TYPE_BOOL, 0);
  ExpectQueue(f.Primary(), {{1, 4, 1, ""}, {1, 5, 1, ""}, {1, 5, 2, ""}});
  EXPECT_EQ(f.Services.Wakes(), 3);
  const std::string log = test::TempDir::Read(f.Dir.File("ZLNETDRV.LOG"));
  EXPECT_NE(log.find("Stanice no.001 : reinit BO+MO"), std::string::npos) << log;
}

TEST_F(OutputPath, BlockItems) {
  f.Put(3000, ZL_TYPE_U16, 0xBEEF);
  f.PutDouble(3001, 3.7);
  f.Put(3001, ZL_TYPE_SINGLE, 0);  // does not fit REAL: nothing stored, still a wake
  f.Put(3002, ZL_TYPE_U8, 5);      // INPUT: nothing, no wake
  const BlockValues &block = St().BlockItemValues[0];
  EXPECT_EQ(test::HexOf(block[0].view()), "EF BE 00 00");
  EXPECT_EQ(test::HexOf(block[1].view()), "41 D9 99");
  EXPECT_EQ(test::HexOf(block[2].view()), "00 00 00 00");
  EXPECT_TRUE(f.Primary().empty());  // not online
  EXPECT_EQ(f.Services.Wakes(), 3);
  St().Online = 1;
  f.Put(3001, ZL_TYPE_U8, 9);  // no fit, still sent as it stands
  ExpectQueue(f.Primary(), {{1, 18, 2, Bytes({0x41, 0xD9, 0x99})}});
  EXPECT_EQ(f.Primary()[0].Definition, &St().MemoryBlocks[0]);
  EXPECT_TRUE(Lines().empty());
}

TEST_F(OutputPath, ConnectAndDisconnect) {
  f.Put(472, ZL_TYPE_BOOL, 1);
  f.Put(476, ZL_TYPE_DOUBLE, 1);  // any type empties both queues, no more
  EXPECT_TRUE(f.Secondary().empty());
  EXPECT_TRUE(f.Client.calls.empty());

  std::vector<std::string> seen;
  f.Client.OnCall = [&](const std::string &call) {
    seen.push_back(call + (f.Primary().empty() && f.Secondary().empty() ? " empty" : " queued") +
                   (St().ConnectRequested ? " requested" : ""));
  };
  f.Put(472, ZL_TYPE_BOOL, 1);
  f.Di.Polling.SecondsSinceAnswer = ToReal6(5);
  f.Di.Line.CycleState = 2;
  f.Di.Line.LineTag = 1;
  f.Di.Polling.MessageBuffer = "x";
  St().Fault = 1;
  f.Di.StationOnline = 1;
  f.Services.ClearAll();
  f.Put(476, ZL_TYPE_BOOL, 1);
  EXPECT_EQ(seen, (std::vector<std::string>{"ClearReceived empty",
                                            "SetEndpoint 127.0.0.1:4001 empty", "Connect empty"}));
  EXPECT_EQ(Lines(), std::vector<std::string>{"Inicializace TCP"});
  EXPECT_EQ(FromReal6(f.Di.Polling.SecondsSinceAnswer), 0.0);
  EXPECT_EQ(f.Di.Line.CycleState, 0);
  EXPECT_EQ(f.Di.Line.LineTag, 222);
  EXPECT_TRUE(f.Di.Polling.MessageBuffer.empty());
  EXPECT_EQ(St().ConnectRequested, 1);
  EXPECT_EQ(St().Fault, 0);
  EXPECT_EQ(f.Di.StationOnline, 0);
  EXPECT_EQ(f.Services.Wakes(), 1);

  seen.clear();
  St().Online = St(3).Online = St(3).Busy = 1;
  f.Put(472, ZL_TYPE_BOOL, 1);
  f.Put(976, ZL_TYPE_BOOL, 0);  // any station's channel disconnects the line
  EXPECT_EQ(seen, (std::vector<std::string>{"ClearReceived empty requested",
                                            "Disconnect empty requested"}));
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(St(n).Online + St(n).ConnectRequested + St(n).Busy, 0);
}

TEST_F(OutputPath, DriverChannels) {
  f.Put(60001, ZL_TYPE_U8, 7);
  EXPECT_EQ(f.Di.Sample.Block, 1);
  f.Put(60001, ZL_TYPE_U8, 3);
  f.Put(60002, ZL_TYPE_U16, 600);
  EXPECT_EQ(f.Di.Sample.RowIndex, 1);
  f.Put(60002, ZL_TYPE_U16, 528);
  f.PutDouble(60002, 5);  // the wrong type
  f.Put(60000, ZL_TYPE_U8, 2);
  f.Put(60292, ZL_TYPE_BOOL, 1);
  f.Put(60022, ZL_TYPE_BOOL, 1);
  EXPECT_EQ(f.Di.Sample.Block, 3);
  EXPECT_EQ(f.Di.Sample.RowIndex, 528);
  EXPECT_EQ(f.Di.Sample.StationNumber, 2);
  EXPECT_EQ(f.Di.Sample.AltKinds, 1);
  EXPECT_EQ(f.Di.Sample.FileWritten, 1);

  // 487 suspends reads and goes on to the station channel it also is.
  ASSERT_TRUE(f.LoadStations({"CHANNEL_BO 487"}));
  f.Put(487, ZL_TYPE_BOOL, 1);
  EXPECT_EQ(f.Di.ReadSuspended, 1);
  EXPECT_EQ(f.St(1).BinaryOut[0], 1);

  f.Di.Queues.Enqueue(QueueId::Primary, 1, 4, 1);
  f.Di.Queues.Enqueue(QueueId::Secondary, 1, 0, 1);
  f.Di.Line.CycleState = 2;
  f.Di.Polling.LastRequestFrame = "frame";
  f.Di.Polling.PrefixWindow = "p";
  f.Put(0xFFFB, ZL_TYPE_BOOL, 0);
  EXPECT_TRUE(f.Primary().empty() && f.Secondary().empty());
  EXPECT_EQ(f.Client.calls, std::vector<std::string>{"ClearReceived"});
  EXPECT_EQ(f.Di.Line.CycleState, 0);
  EXPECT_TRUE(f.Di.Polling.LastRequestFrame.empty() && f.Di.Polling.PrefixWindow.empty());
}

TEST_F(OutputPath, Forcing) {
  f.PutDouble(0xFFFE, 1005.9);
  f.PutDouble(0xFFFD, 2.0);
  f.Put(0xFFFF, ZL_TYPE_BOOL, 1);
  EXPECT_EQ(St(3).BinaryIn[4], 1);
  EXPECT_EQ(f.GetDouble(0xFFFE), 1005.0);
  EXPECT_EQ(f.GetDouble(0xFFFD), 2.0);
  EXPECT_EQ(f.GetAs<uint8_t>(0xFFFF, ZL_TYPE_BOOL), 1);
  f.PutDouble(0xFFFE, 1200);
  f.Put(0xFFFF, ZL_TYPE_DOUBLE, 0);  // any type forces while enabled
  EXPECT_EQ(FromReal6(St(3).AnalogIn[8]), 2.0);
  for (double channel : {1100.0, 1000.0, 1257.0, 49501.0, 65535.0}) {
    f.PutDouble(0xFFFE, channel);
    f.PutDouble(0xFFFD, 0.0);
    f.Put(0xFFFF, ZL_TYPE_BOOL, 1);
  }
  EXPECT_EQ(St(3).BinaryIn[4], 1);  // none of those changed anything
  EXPECT_EQ(FromReal6(St(3).AnalogIn[8]), 2.0);
  f.Put(0xFFFF, ZL_TYPE_BOOL, 0);
  f.PutDouble(0xFFFE, 1005);
  EXPECT_EQ(St(3).BinaryIn[4], 1);
}

}  // namespace
}  // namespace zl
