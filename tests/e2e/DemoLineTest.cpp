// The driver as a host uses it: only the exported C functions, pumping its
// messages, against the simulated controllers of examples/demo.par on
// loopback. Every value read through GetInput is compared with what the
// simulator holds, every write with what reached it.
#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "support/Bytes.h"
#include "support/HostCalls.h"
#include "support/HostSession.h"
#include "support/QuickDemoLine.h"
#include "support/TestSupport.h"
#include "util/Encodings.h"
#include "zlnetdrv.h"
#include "zlsim/Simulator.h"

namespace zl {
namespace {

using test::Bytes;
using test::Replaced;
using test::TempDir;

// Station 1 (KOTELNA) of the demonstration line, with ORIGINAL_CHANNELS.
constexpr uint16_t kBI = 1, kBO = 97, kAI = 193, kCT = 257, kMO = 305, kMI = 405;
constexpr uint16_t kInNowComm = 464, kBiNewBI = 466, kBiNewAI = 467, kBiNewMI = 469;
constexpr uint16_t kReadAItolvin = 460, kReadCT = 461, kReadBI = 472, kReadKI = 473, kReadAI = 475,
                   kConnect = 476, kConnected = 478;
constexpr uint16_t kQueued = 490, kCycleState = 495;

class DemoLine : public ::testing::Test, public test::HostCalls {
 protected:
  // demo.par, edited by edit, served by the simulator on ephemeral ports; the
  // driver initialised with the same file pointing at them. The line is made
  // quick: no pause after an answer and 1 ms between the thread's passes.
  void Start(const std::function<std::string(std::string)> &edit = {}) {
    sim::SimOptions options;
    options.Static = true;
    options.Seed = 7;
    test::QuickDemoLine line;
    std::string error;
    const bool started = line.Start(
        dir_, options,
        [&](std::string text) {
          return edit ? edit(test::WithoutPhones(std::move(text)))
                      : test::WithoutPhones(std::move(text));
        },
        error);
    sim_ = std::move(line.Sim);
    ASSERT_TRUE(started) << error;
    const std::string file = line.HostFile;

    h_ = MakeDriver();
    ASSERT_NE(h_, nullptr);
    char hostText[256] = "E2E";
    ASSERT_EQ(Init(h_, 255, file.c_str(), 0, hostText, 1), 1) << hostText;
    ASSERT_EQ(BufferInfo(h_, ZL_SAMPLE_BUFFER, ZL_SAMPLE_BUFFER_TYPE, ZL_SAMPLE_BUFFER_SIZE), 1);
    buffer_ = std::make_unique<uint8_t[]>(ZL_SAMPLE_BUFFER_SIZE);  // exactly what we announce
    SetBufferAddr(h_, ZL_SAMPLE_BUFFER, buffer_.get());
  }

  void TearDown() override {
    if (h_) {
      Done(h_);
      DisposeDriver(h_);
    }
    if (sim_) sim_->Stop();
  }

  sim::ControllerModel &Controller(int n = 1) { return *sim_->Station(n); }

  uint32_t BufferField(std::size_t offset) {
    uint32_t x;
    std::memcpy(&x, buffer_.get() + offset, 4);
    return x;
  }

  // Pumps the driver's messages until pred holds; false after 60 s.
  bool PumpUntil(const std::function<bool()> &pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      PumpMessages(h_, 5);
    }
    return true;
  }
  // Every queued request answered and decoded, the cycle idle again.
  bool Settled() {
    return PumpUntil([&] { return D(kQueued) == 0.0 && D(kCycleState) == 0.0; });
  }
  void ConnectStation1() {
    Put(kConnect, ZL_TYPE_BOOL, 1);
    ASSERT_TRUE(PumpUntil([&] { return Bool(kConnected) == 1; }));
    EXPECT_EQ(D(488), 1.0);  // the client is connected
  }

  TempDir dir_;
  std::unique_ptr<sim::Simulator> sim_;
  std::unique_ptr<uint8_t[]> buffer_;
};

TEST_F(DemoLine, ReadsEveryGroupAsTheControllerHoldsIt) {
  ASSERT_NO_FATAL_FAILURE(Start());
  sim::ControllerModel &c = Controller();
  for (int k = 0; k < 16; ++k) c.SetBinaryInput(k, k % 3 == 0);
  test::demo::SetQqNumbers(c);
  const std::string name = "Kotelna u\x01 ";  // a control byte reads as a blank
  for (uint8_t part = 0; part < 8; ++part) {
    sim::QqValue v{' ', ' ', ' ', ' '};
    for (int i = 0; i < 4; ++i)
      if (4u * part + i < name.size()) v[i] = static_cast<uint8_t>(name[4 * part + i]);
    c.SetQqBytes(0, 17, part, v);
  }
  c.SetMemory(0x100, Bytes({0x41, 0xD9, 0x99, 0xBC, 0x99, 0x99, 0x46, 0x90, 0x00, 0x40, 0, 0}));
  c.SetMemory(0x300, Bytes({0x34, 0x12, 0xFF, 0xFF, 0x41, 0x40, 0x00, 0x99}));
  c.SetMemory(0x320, Bytes({1, 2, 3, 4, 0xFE, 0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF}));
  ASSERT_NE(c.Memory(40, 24), std::string(24, '\0'));  // the analog block holds values
  ASSERT_NO_FATAL_FAILURE(ConnectStation1());

  for (uint16_t command : {kReadBI, kReadAI, kReadKI}) Put(command, ZL_TYPE_BOOL, 1);
  Put(3099, ZL_TYPE_BOOL, 1);  // both memory blocks
  Put(3199, ZL_TYPE_BOOL, 1);
  for (uint16_t channel = 2500; channel <= 2506; ++channel) InputRequest(h_, channel);
  ASSERT_TRUE(Settled());

  for (int i = 1; i <= 16; ++i) {  // inputs 3 and 4 are inverted
    EXPECT_EQ(Bool(kBI + i - 1), c.BinaryInput(i - 1) ^ (i == 3 || i == 4)) << "BI " << i;
  }
  EXPECT_EQ(Bool(kBiNewBI), 1);
  for (int i = 1; i <= 8; ++i) {  // the analog block at DEF_ANALOG_IN_ADDR
    EXPECT_EQ(D(kAI + i - 1), DecodeReal3(c.Memory(40 + 3 * (i - 1), 3))) << "AI " << i;
  }
  for (int i = 1; i <= 4; ++i) {  // ARRAY: one block of 3-byte reals from entry 1
    EXPECT_EQ(D(kMI + i - 1), DecodeReal3(c.Memory(0x100 + 3 * (i - 1), 3))) << "MI " << i;
  }
  EXPECT_EQ(Bool(kBiNewMI), 1);
  auto le = [&](uint16_t address, int n) {
    uint32_t x = 0;
    std::memcpy(&x, c.Memory(address, static_cast<std::size_t>(n)).data(),
                static_cast<std::size_t>(n));
    return x;
  };
  EXPECT_EQ(Get<uint16_t>(3000, ZL_TYPE_U16), le(0x300, 2));
  EXPECT_EQ(Get<uint16_t>(3001, ZL_TYPE_U16), le(0x302, 2));
  EXPECT_EQ(D(3002), DecodeReal3(c.Memory(0x304, 3)));
  EXPECT_EQ(Get<uint8_t>(3003, ZL_TYPE_U8), le(0x307, 1));
  EXPECT_EQ(Get<uint32_t>(3100, ZL_TYPE_U32), le(0x320, 4));
  EXPECT_EQ(Get<uint32_t>(3101, ZL_TYPE_U32), le(0x324, 4));
  EXPECT_EQ(Get<int32_t>(3102, ZL_TYPE_I32), static_cast<int32_t>(le(0x328, 4)));

  EXPECT_EQ(Get<uint8_t>(2500, ZL_TYPE_U8), 200);
  EXPECT_EQ(Get<uint16_t>(2501, ZL_TYPE_U16), 0x1234);
  EXPECT_EQ(Get<int16_t>(2502, ZL_TYPE_I16), -2);
  EXPECT_EQ(Get<uint32_t>(2503, ZL_TYPE_U32), 123456u);
  EXPECT_EQ(Get<int32_t>(2504, ZL_TYPE_I32), 123456789);
  char text[33];
  HostValue v{ZL_TYPE_TEXT, {}};
  const auto address = reinterpret_cast<uintptr_t>(text);
  std::memcpy(v.value, &address, sizeof address);
  GetInput(h_, 2506, &v);
  EXPECT_EQ(std::string(text, 33), "Kotelna u  " + std::string(21, ' ') + '\0');

  // The other analog read: raw words scaled by the analog limits.
  Put(kBiNewAI, ZL_TYPE_BOOL, 0);
  Put(kReadAItolvin, ZL_TYPE_BOOL, 1);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Bool(kBiNewAI), 1);
  const double low[8] = {0, 0, -30, 0, 0, 0, 0, 0},
               high[8] = {120, 120, 50, 10, 155.08, 155.08, 155.08, 155.08};
  for (int i = 0; i < 8; ++i) {
    const uint16_t word = c.AnalogWord(i);
    const double range = word & 0x8000 ? 4095 : 255, raw = word & 0x7FFF;
    EXPECT_NEAR(D(kAI + i), low[i] + (high[i] - low[i]) * std::min(raw, range) / range, 1e-9)
        << "AI " << i + 1;
  }
  EXPECT_EQ(Bool(kInNowComm), 0);
}

TEST_F(DemoLine, WritesReachTheController) {
  ASSERT_NO_FATAL_FAILURE(Start());
  sim::ControllerModel &c = Controller();
  ASSERT_NO_FATAL_FAILURE(ConnectStation1());
  Put(kBO, ZL_TYPE_BOOL, 1);       // binary output 1
  PutD(kMO, 12.5);                 // memory output 1, REAL at 0x200
  PutD(kMO + 1, 300);              // memory output 2, WORD at 0x203
  PutD(2505, 3.7);                 // WRITE REAL variable
  PutD(2501, 250);                 // BIDIR WORD variable
  Put(3000, ZL_TYPE_U16, 0x1234);  // block item 1, WORD
  PutD(3002, 2.5);                 // block item 3, REAL
  ASSERT_TRUE(Settled());
  EXPECT_TRUE(c.BinaryOutput(0));
  EXPECT_FALSE(c.BinaryOutput(1));
  EXPECT_EQ(test::HexOf(c.Memory(0x200, 3)), "43 90 00");  // 12.5 as a 3-byte real
  EXPECT_EQ(test::HexOf(c.Memory(0x203, 2)), "2C 01");
  EXPECT_EQ(c.QqBytes(0, 16, 13), (sim::QqValue{0xCD, 0xCC, 0x6C, 0x40}));
  EXPECT_EQ(c.QqBytes(0, 16, 1), (sim::QqValue{250, 0, 0, 0}));
  EXPECT_EQ(test::HexOf(c.Memory(0x300, 2)), "34 12");
  EXPECT_EQ(test::HexOf(c.Memory(0x304, 3)), "41 40 00");  // 2.5

  // Read back through the driver.
  c.SetQqBytes(0, 16, 1, {251, 0, 0, 0});
  InputRequest(h_, 2501);
  c.SetMemory(0x300, Bytes({0x78, 0x56}));
  Put(3099, ZL_TYPE_BOOL, 1);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(D(2501), 251.0);
  EXPECT_EQ(Get<uint16_t>(3000, ZL_TYPE_U16), 0x5678);
  EXPECT_EQ(D(3002), 2.5);
}

TEST_F(DemoLine, SampleMemoryReachesTheBufferAndTheFile) {
  ASSERT_NO_FATAL_FAILURE(Start());
  sim::ControllerModel &c = Controller();
  ASSERT_NO_FATAL_FAILURE(ConnectStation1());
  Put(60000, ZL_TYPE_U8, 1);
  Put(60001, ZL_TYPE_U8, 1);
  Put(60003, ZL_TYPE_BOOL, 1);
  EXPECT_EQ(Bool(60018), 1);
  EXPECT_EQ(BufferField(24), 1u);
  // The host reads its buffer once the transfer is over (SampleBusy is read
  // under the driver's lock, after which the buffer no longer changes).
  ASSERT_TRUE(PumpUntil([&] { return Bool(60018) == 0; }));
  EXPECT_EQ(BufferField(8), 528u);
  EXPECT_EQ(BufferField(24), 2u);

  // Row 5 through the sample channels: time stamp decoded from BCD.
  Put(60002, ZL_TYPE_U16, 5);
  const sim::SampleRowBytes row5 = c.SampleRow(4);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(Get<uint8_t>(60004 + k, ZL_TYPE_U8), BcdValue(row5[k]));
  for (int v = 0; v < 8; ++v) {
    const std::string real(reinterpret_cast<const char *>(row5.data()) + 7 + 3 * v, 3);
    EXPECT_EQ(D(60010 + v), DecodeReal3(real)) << "value " << v + 1;
  }

  Put(60021, ZL_TYPE_BOOL, 1);
  EXPECT_EQ(Bool(60022), 1);
  // Station 1 has QQ variables: the name comes from row 2.
  const sim::SampleRowBytes row2 = c.SampleRow(1);
  const std::string name = "051" + std::to_string(BcdValue(row2[0]) % 10) +
                           PadDecimal(BcdValue(row2[1]), 2).str() +
                           PadDecimal(BcdValue(row2[2]), 2).str() + ".CUC";
  const std::string file = TempDir::Read(dir_.File(name));
  ASSERT_EQ(file.size(), 16368u) << name;
  for (int r = 0; r < 528; ++r) {
    const sim::SampleRowBytes row = c.SampleRow(r);
    std::string expected;
    for (int k = 0; k < 31; ++k) expected += static_cast<char>(k < 6 ? BcdValue(row[k]) : row[k]);
    ASSERT_EQ(test::HexOf(file.substr(31 * r, 31)), test::HexOf(expected)) << "row " << r + 1;
  }
}

TEST_F(DemoLine, DisconnectEmptiesTheQueues) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(ConnectStation1());
  Put(60000, ZL_TYPE_U8, 1);
  Put(60003, ZL_TYPE_BOOL, 1);  // 88 reads
  Put(kReadBI, ZL_TYPE_BOOL, 1);
  EXPECT_GT(D(kQueued), 80.0);
  Put(kConnect, ZL_TYPE_BOOL, 0);
  EXPECT_EQ(D(kQueued), 0.0);
  EXPECT_EQ(Bool(kConnected), 0);
  ASSERT_TRUE(PumpUntil([&] { return D(488) == 0.0; }));
  PumpMessages(h_, 50);
  EXPECT_EQ(D(kQueued), 0.0);
}

// Station 1 given a phone number (no dial flag) and typed memory inputs without
// ARRAY: counters settle at once and memory inputs are read one by one. Station 3, a dial-up
// station behind the second gateway, reads its memory outputs with "K".
TEST_F(DemoLine, CountersSingleMemoryInputsAndMemoryOutputs) {
  ASSERT_NO_FATAL_FAILURE(Start([](std::string text) {
    // Station 1's memory inputs, typed and read one by one.
    text = Replaced(text, "    1   $0100\r\n    2   $0103\r\n    3   $0106\r\n    4   $0109\r\n",
                    "    1 $0100 WORD\r\n    2 $0102 WORD\r\n    3 $0104\r\n    4 $0107 BYTE\r\n");
    text = Replaced(text, "    ARRAY", "         ");
    text = Replaced(text, "  PORT           4001\r\n", "  PORT           4001\r\n  PHONE 1\r\n");
    return Replaced(text, "NUM_COUNTER_IN 8\r\n  NUM_MEMORY_IN  0\r\n  NUM_MEMORY_OUT 0",
                    "NUM_COUNTER_IN 8\r\n  NUM_MEMORY_IN  0\r\n  NUM_MEMORY_OUT 2");
  }));
  sim::ControllerModel &c = Controller();
  for (int k = 0; k < 8; ++k) c.SetCounter(k, static_cast<uint16_t>(100 * (k + 1)));
  c.SetMemory(0x100, Bytes({0x34, 0x12, 0xCD, 0xAB, 0x41, 0xD9, 0x99, 0x7F}));
  ASSERT_NO_FATAL_FAILURE(ConnectStation1());
  Put(kReadCT, ZL_TYPE_BOOL, 1);
  Put(kReadKI, ZL_TYPE_BOOL, 1);
  ASSERT_TRUE(Settled());
  const double factor[8] = {0.01, 0.1, 0.1, 1, 1, 1, 1, 1}, start[8] = {};  // all REAL
  for (int i = 0; i < 8; ++i) {
    EXPECT_NEAR(D(kCT + i), start[i] + factor[i] * c.Counter(i), 1e-9) << "CT " << i + 1;
  }
  EXPECT_EQ(D(kMI), 0x1234);                 // WORD
  EXPECT_EQ(D(kMI + 1), 0xABCD);             // WORD
  EXPECT_EQ(D(kMI + 2), 3.699981689453125);  // REAL
  EXPECT_EQ(D(kMI + 3), 0x7F);               // BYTE

  // The line to the other gateway: the host closes this one first.
  Put(kConnect, ZL_TYPE_BOOL, 0);
  ASSERT_TRUE(PumpUntil([&] { return D(488) == 0.0; }));
  constexpr uint16_t kStation3 = 1000;
  // Both memory outputs of station 3 are left at address 0: a REAL there.
  Controller(3).SetMemory(0, Bytes({0x41, 0x40, 0x00}));  // 2.5
  Put(kStation3 + kConnect, ZL_TYPE_BOOL, 1);
  ASSERT_TRUE(PumpUntil([&] { return Bool(kStation3 + kConnected) == 1; }));
  Put(kStation3 + kReadKI, ZL_TYPE_BOOL, 1);
  ASSERT_TRUE(Settled());
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(test::HexOf(Controller(3).MemoryOutputReal(i)), "41 40 00");
    EXPECT_EQ(D(kStation3 + kMO + i), 2.5) << "MO " << i + 1;
  }
}

}  // namespace
}  // namespace zl
