// The input path: every GetInput conversion, the driver and diagnostic
// channels, and the reads InputRequest queues.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "core/DriverInstance.h"
#include "core/RequestQueues.h"
#include "core/SampleBuffer.h"
#include "exchange/InputPath.h"
#include "support/Bytes.h"
#include "support/ExchangeFixture.h"
#include "util/Encodings.h"

namespace zl {
namespace {

using test::Bytes;
using test::ExchangeFixture;
using test::UntouchedFrom;

constexpr const char *kStation =
    "ORIGINAL_CHANNELS\nBINAR_IN_XOR 2\nNUM_COUNTER_IN 2\nNUM_MEMORY_IN 2\nNUM_MEMORY_OUT 2\n"
    "CallCode 7000\nname_channel 7001\n"
    "QQ READ 2500 0 16 4 WORD\nQQ WRITE 2501 0 16 8 REAL\nQQ BIDIR 2502 0 16 254 STRING\n"
    "MEMORY_BLOCK ADDR 768 CHANNEL 3000 CHANNEL_READ 3099 TYPES BYTE INPUT WORD INPUT "
    "INTEGER INPUT CARDINAL INPUT LONGINT INPUT REAL INPUT TYPES_END MEMORY_BLOCK_END";

class InputPath : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(f.LoadStations({kStation, "QQ READ 3500 0 16 4 BYTE"})); }
  Station &St() { return f.St(1); }
  QqValue &Var(int i) { return St().QqValues[static_cast<std::size_t>(i)]; }
  ExchangeFixture f;
};

TEST_F(InputPath, VariableConversions) {
  struct Case {
    float number;
    uint32_t type;
    uint64_t expected;
    int width;
  };
  const Case cases[] = {
      {2.7f, ZL_TYPE_U8, 2, 1},
      {-1.5f, ZL_TYPE_I8, 0xFF, 1},
      {2.7f, ZL_TYPE_BOOL, 0, 1},
      {1.0f, ZL_TYPE_BOOL, 1, 1},
      {-1.5f, ZL_TYPE_I16, 0xFFFF, 2},
      {70000.9f, ZL_TYPE_U16, 70000 & 0xFFFF, 2},
      {-1.0f, ZL_TYPE_U32, 0xFFFFFFFF, 4},
      {1e30f, ZL_TYPE_U32, 0, 4},  // beyond 64 bits: 0
      {3.7f, ZL_TYPE_SINGLE, std::bit_cast<uint32_t>(3.7f), 4},
      {3.7f, ZL_TYPE_DOUBLE, std::bit_cast<uint64_t>(double{3.7f}), 8},
  };
  for (const Case &c : cases) {
    Var(0).Number = c.number;
    const HostValue v = f.Get(2500, c.type);
    uint64_t got = 0;
    std::memcpy(&got, v.value, static_cast<std::size_t>(c.width));
    EXPECT_EQ(got, c.expected) << c.number << " as type " << c.type;
    EXPECT_TRUE(UntouchedFrom(v, c.width)) << c.number << " as type " << c.type;
  }
  Var(0).Int = -5;
  EXPECT_EQ(f.GetAs<int32_t>(2500, ZL_TYPE_I32), -5);
  for (uint32_t type : {0u, 1u, 12u, 13u}) EXPECT_TRUE(UntouchedFrom(f.Get(2500, type), 0));

  char text[40];
  std::memset(text, '#', sizeof text);
  HostValue v{ZL_TYPE_TEXT, {}};
  const auto address = reinterpret_cast<uintptr_t>(text);
  std::memcpy(v.value, &address, sizeof address);
  GetInput(f.Di, 2502, v);
  EXPECT_EQ(std::string(text, 34), std::string(32, ' ') + '\0' + '#');  // exactly 33 bytes
}

TEST_F(InputPath, StationValues) {
  {
    std::lock_guard<std::mutex> lock(f.Di.DataLock);
    St().BinaryIn[1] = 0;  // inverted: reads 1
    St().BinaryIn[2] = 1;
    St().BinaryOut[0] = 1;
    St().AnalogIn[4] = ToReal6(12.5);
    St().CounterValues[2] = ToReal6(7.25);
    St().MemoryOutValues[1] = ToReal6(-3.5);
    St().MemoryInValues[2] = ToReal6(0.125);
    St().TimeoutTotal = 11;
    St().RequestCount = 12;
    St().ErrorItemCount = 13;
    St().SecondsSinceAnswer = ToReal6(1.5);
    St().SleepRemaining = ToReal6(2.5);
    St().TimeoutRun = 14;
    St().Online = 1;
    St().NewMemory = 1;
    St().RuntimeValue = 0xA1B2C3D4;
  }
  EXPECT_EQ(f.GetAs<uint8_t>(2, ZL_TYPE_BOOL), 1);
  EXPECT_EQ(f.GetAs<uint8_t>(3, ZL_TYPE_BOOL), 1);
  EXPECT_TRUE(UntouchedFrom(f.Get(2, ZL_TYPE_DOUBLE), 0));
  EXPECT_EQ(f.GetAs<uint8_t>(97, ZL_TYPE_BOOL), 1);
  const std::pair<uint16_t, double> numbers[] = {
      {196, 12.5}, {258, 7.25}, {305, -3.5}, {406, 0.125}, {450, 11},
      {481, 12},   {451, 13},   {452, 1.5},  {453, 2.5},   {454, 14}};
  for (auto [channel, expected] : numbers) EXPECT_EQ(f.GetDouble(channel), expected) << channel;
  EXPECT_EQ(f.GetAs<uint8_t>(478, ZL_TYPE_BOOL), 1);  // in_connected_modem
  EXPECT_EQ(f.GetAs<uint8_t>(469, ZL_TYPE_BOOL), 1);  // bi_new_MI
  EXPECT_EQ(f.GetAs<uint8_t>(464, ZL_TYPE_BOOL), 0);  // in_now_comm
  EXPECT_EQ(f.GetAs<uint32_t>(7000, ZL_TYPE_U32), 0xA1B2C3D4u);
  EXPECT_TRUE(UntouchedFrom(f.Get(472, ZL_TYPE_BOOL), 0));  // a command reads nothing

  char buffer[300];
  auto textOf = [&](uint16_t channel) {
    std::memset(buffer, '#', sizeof buffer);
    HostValue v{ZL_TYPE_TEXT, {}};
    const auto address = reinterpret_cast<uintptr_t>(buffer);
    std::memcpy(v.value, &address, sizeof address);
    GetInput(f.Di, channel, v);
    return std::string(buffer, sizeof buffer);
  };
  EXPECT_EQ(textOf(459).substr(0, 9), std::string("<line 4>") + '\0');
  EXPECT_EQ(textOf(459)[256], '#');  // the whole 256-byte field, nothing more
  EXPECT_EQ(textOf(7001).substr(0, 4), std::string("ST1") + '\0');
  EXPECT_EQ(textOf(7001)[80], '\0');
  EXPECT_EQ(textOf(7001)[81], '#');
  HostValue none{ZL_TYPE_TEXT, {}};  // no buffer: nothing is copied, nothing breaks
  GetInput(f.Di, 7001, none);
}

TEST_F(InputPath, MemoryBlockItemsOnlyInTheirOwnType) {
  BlockValues &b = St().BlockItemValues[0];
  for (std::size_t i = 0; i < 5; ++i) b[i].assign(Bytes({0xFE, 0xFF, 0x01, 0x80}));
  b[5].assign(Bytes({0x41, 0xD9, 0x99}));
  EXPECT_EQ(f.GetAs<uint8_t>(3000, ZL_TYPE_U8), 0xFE);
  EXPECT_EQ(f.GetAs<uint16_t>(3001, ZL_TYPE_U16), 0xFFFE);
  EXPECT_EQ(f.GetAs<int16_t>(3002, ZL_TYPE_I16), -2);
  EXPECT_EQ(f.GetAs<uint32_t>(3003, ZL_TYPE_U32), 0x8001FFFEu);
  EXPECT_EQ(f.GetAs<int32_t>(3004, ZL_TYPE_I32), static_cast<int32_t>(0x8001FFFE));
  EXPECT_EQ(f.GetDouble(3005), 3.699981689453125);
  EXPECT_TRUE(UntouchedFrom(f.Get(3000, ZL_TYPE_U16), 0));
  EXPECT_TRUE(UntouchedFrom(f.Get(3001, ZL_TYPE_U8), 0));
  EXPECT_TRUE(UntouchedFrom(f.Get(3099, ZL_TYPE_BOOL), 0));
}

TEST_F(InputPath, SampleRowChannels) {
  {
    std::lock_guard<std::mutex> lock(f.Di.DataLock);
    uint8_t *row = f.Di.Sample.Table[4].Bytes;  // row 5
    for (int k = 0; k < 7; ++k) row[k] = static_cast<uint8_t>(10 + k);
    row[8] = 0x41, row[9] = 0xD9, row[10] = 0x99;  // value 1
    row[4 * 8 + 6] = 0x80;                         // value 8, third byte, bit 7
  }
  f.Put(60002, ZL_TYPE_U16, 5);
  EXPECT_EQ(f.GetAs<uint8_t>(60004, ZL_TYPE_U8), 10);
  EXPECT_EQ(f.GetAs<uint8_t>(60009, ZL_TYPE_U8), 15);
  EXPECT_EQ(f.GetDouble(60010), 3.699981689453125);
  EXPECT_EQ(f.GetAs<uint8_t>(60100, ZL_TYPE_BOOL), 1);  // bit 0 of 0x41
  EXPECT_EQ(f.GetAs<uint8_t>(60101, ZL_TYPE_BOOL), 0);
  EXPECT_EQ(f.GetAs<uint8_t>(60109, ZL_TYPE_BOOL), 0);  // bit 1 of 0xD9
  EXPECT_EQ(f.GetAs<uint8_t>(60291, ZL_TYPE_BOOL), 1);
  EXPECT_TRUE(UntouchedFrom(f.Get(60010, ZL_TYPE_SINGLE), 0));
}

TEST_F(InputPath, BufferDescriptorGoesOnToTheStationChannels) {
  ASSERT_TRUE(f.LoadStations({"CHANNEL_BI 65532"}));
  HostValue v = f.Get(0xFFFC, ZL_TYPE_BUFFER);
  EXPECT_EQ(test::HexOf(std::string(reinterpret_cast<char *>(v.value), 8)),
            "09 42 00 00 00 00 00 EE");
  alignas(8) static uint8_t block[kSampleBufferSize];
  InitSampleBuffer(f.Di.Sample, block);
  v = f.Get(0xFFFC, ZL_TYPE_BUFFER);
  uint32_t low;
  std::memcpy(&low, v.value + 3, 4);
  EXPECT_EQ(low, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block)));
  f.Di.StationAt(1)->BinaryIn[0] = 1;
  EXPECT_EQ(f.GetAs<uint8_t>(0xFFFC, ZL_TYPE_BOOL), 1);  // binary input 1 of station 1
}

TEST_F(InputPath, DiagnosticChannels) {
  f.Client.connected = true;
  EXPECT_EQ(f.GetDouble(488), 1.0);
  f.Di.Queues.Enqueue(QueueId::Primary, 1, 4, 1);
  f.Di.Queues.Enqueue(QueueId::Secondary, 1, 0, 1);
  f.Di.Queues.Enqueue(QueueId::Secondary, 1, 2, 1);
  EXPECT_EQ(f.GetDouble(490), 3.0);
  EXPECT_EQ(f.GetDouble(497), 1.0);
  f.Di.Line.CycleState = 3;
  EXPECT_EQ(f.GetDouble(495), 3.0);
  f.Di.Polling.MessageCount = ToReal6(42);
  EXPECT_EQ(f.GetDouble(498), 42.0);
  EXPECT_EQ(f.GetDouble(492), 0.0);
  EXPECT_GE(f.GetAs<int32_t>(496, ZL_TYPE_I32), 0);
  EXPECT_TRUE(UntouchedFrom(f.Get(496, ZL_TYPE_DOUBLE), 0));
  // A station channel hides the diagnostic one.
  ASSERT_TRUE(f.LoadStations({"CHANNEL_AI 490"}));
  EXPECT_EQ(f.GetDouble(490), 0.0);
  f.Di.Queues.Enqueue(QueueId::Primary, 1, 4, 1);
  EXPECT_EQ(f.GetDouble(490), 0.0);
}

TEST_F(InputPath, NothingBeforeTheMapExists) {
  f.Di.Channels.reset();
  EXPECT_TRUE(UntouchedFrom(f.Get(2500, ZL_TYPE_DOUBLE), 0));
  EXPECT_TRUE(UntouchedFrom(f.Get(489, ZL_TYPE_DOUBLE), 0));
  InputRequest(f.Di, 2500);
  EXPECT_TRUE(f.Secondary().empty());
}

TEST_F(InputPath, ReadRequests) {
  InputRequest(f.Di, 2501);  // WRITE: nothing, no wake
  EXPECT_TRUE(f.Secondary().empty());
  EXPECT_EQ(f.Services.Wakes(), 0);

  InputRequest(f.Di, 2500);
  InputRequest(f.Di, 2500);  // pending: nothing more, still a wake
  ASSERT_EQ(f.Secondary().size(), 1u);
  EXPECT_EQ(f.Secondary()[0].Kind, kReadQq);
  EXPECT_EQ(f.Secondary()[0].Station, 1);
  EXPECT_EQ(f.Secondary()[0].Data.view(), Bytes({0, 16, 4}));
  EXPECT_EQ(f.Services.Wakes(), 2);

  // Station 2's variable has the same address, and is read all the same:
  // station 1's pending read would never bring its value.
  InputRequest(f.Di, 3500);
  InputRequest(f.Di, 3500);
  ASSERT_EQ(f.Secondary().size(), 2u);
  EXPECT_EQ(f.Secondary()[1].Station, 2);
  EXPECT_EQ(f.Secondary()[1].Data.view(), Bytes({0, 16, 4}));

  // Merged behind another descriptor, the read still counts as pending.
  f.Di.Queues.Clear(QueueId::Secondary);
  f.Di.Queues.Enqueue(QueueId::Secondary, 1, kReadQq, 0, Bytes({0, 16, 9}));
  f.Di.Queues.Enqueue(QueueId::Secondary, 1, kReadQq, 0, Bytes({0, 16, 4}));
  f.Di.Queues.CompressReads();
  ASSERT_EQ(f.Secondary().size(), 1u);
  InputRequest(f.Di, 2500);
  EXPECT_EQ(f.Secondary().size(), 1u);

  f.Di.Queues.Clear(QueueId::Secondary);
  InputRequest(f.Di, 2502);  // STRING at 0 16 254: eight parts
  ASSERT_EQ(f.Secondary().size(), 8u);
  const int thirds[] = {254, 255, 0, 1, 2, 3, 4, 5};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(f.Secondary()[i].Data[2], thirds[i]);
}

TEST_F(InputPath, SuspendedOrSleeping) {
  f.Put(487, ZL_TYPE_BOOL, 1);
  InputRequest(f.Di, 2500);
  EXPECT_TRUE(f.Secondary().empty());
  EXPECT_EQ(f.Services.Wakes(), 0);
  f.Put(487, ZL_TYPE_BOOL, 2);  // only the lowest bit counts
  St().SleepRemaining = ToReal6(3.0);
  InputRequest(f.Di, 2500);
  EXPECT_TRUE(f.Secondary().empty());
  EXPECT_EQ(f.Services.Wakes(), 1);  // woken all the same
}

}  // namespace
}  // namespace zl
