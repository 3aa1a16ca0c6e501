// The host's thread calls every entry point in a tight loop (reads of every
// channel class, writes, commands, connects and disconnects, message pumping,
// the status window) while the communication thread works against the
// simulated gateway with its faults on. Run in the ThreadSanitizer build, it
// must report nothing; in every build the driver must come out of it serving.
#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cstring>
#include <vector>

#include "support/HostSession.h"

namespace zl::test {
namespace {

using demo::Ch;

std::string QuickTimeOuts(std::string text) {
  const std::string patient = "ANSWER_TIME  30 ";
  const std::size_t at = text.find(patient);
  if (at != std::string::npos) text.replace(at, patient.size(), "ANSWER_TIME  0.2");
  return text;
}

struct Read {
  uint16_t Channel;
  uint32_t Type;
};

// Every class of channel: inputs, outputs, counters, memory, status and
// counters of each station, texts, QQ variables of each type, memory block
// items, the sample rows, forcing, the buffer descriptor, diagnostics.
std::vector<Read> EveryChannelClass() {
  std::vector<Read> reads;
  for (int slot = 1; slot <= 3; ++slot) {
    for (int offset : {demo::kBI, demo::kBO}) reads.push_back({Ch(slot, offset), ZL_TYPE_BOOL});
    for (int offset : {demo::kAI, demo::kCT, demo::kMO, demo::kMI, 450, 451, 452, 453, 454, 481})
      reads.push_back({Ch(slot, offset), ZL_TYPE_DOUBLE});
    for (int offset = 464; offset <= 479; ++offset)
      reads.push_back({Ch(slot, offset), ZL_TYPE_BOOL});
    reads.push_back({Ch(slot, 456), ZL_TYPE_TEXT});
  }
  for (uint16_t qq = 2500; qq <= 2506; ++qq) {
    for (uint32_t type :
         {ZL_TYPE_BOOL, ZL_TYPE_U16, ZL_TYPE_I32, ZL_TYPE_SINGLE, ZL_TYPE_DOUBLE, ZL_TYPE_TEXT})
      reads.push_back({qq, type});
  }
  for (uint16_t item : {3000, 3001, 3003, 3100, 3102})
    for (uint32_t type :
         {ZL_TYPE_U8, ZL_TYPE_U16, ZL_TYPE_I16, ZL_TYPE_U32, ZL_TYPE_I32, ZL_TYPE_DOUBLE})
      reads.push_back({item, type});
  for (uint16_t ch : {60004, 60009}) reads.push_back({ch, ZL_TYPE_U8});
  for (uint16_t ch : {60010, 60017, 65533, 65534}) reads.push_back({ch, ZL_TYPE_DOUBLE});
  for (uint16_t ch : {60018, 60022, 60100, 60291, 65535}) reads.push_back({ch, ZL_TYPE_BOOL});
  reads.push_back({65532, ZL_TYPE_BUFFER});
  for (uint16_t ch = 488; ch <= 499; ++ch) reads.push_back({ch, ZL_TYPE_DOUBLE});
  reads.push_back({496, ZL_TYPE_I32});
  return reads;
}

uint64_t Bits(double d) {
  return std::bit_cast<uint64_t>(d);
}

TEST(EntryPointStress, EveryEntryPointInATightLoopWhileTheLineMisbehaves) {
  HostSession s;
  sim::SimOptions options;
  options.Static = true;
  options.Faults.Drop = 0.1;
  options.Faults.Corrupt = 0.1;
  options.Faults.Noise = 0.2;
  options.Faults.ErrorEvery = 7;
  options.Faults.ActiveEverySeconds = 0.05;
  options.Faults.CloseAfter = 30;
  std::string error;
  ASSERT_TRUE(s.Start(options, error, QuickTimeOuts, /*steppedClock=*/false)) << error;
  void *h = s.Handle();
  ASSERT_TRUE(s.Connect(1));
  ASSERT_TRUE(s.Connect(2));

  const std::vector<Read> reads = EveryChannelClass();
  std::vector<char> text(256);
  std::vector<uint8_t> buffer(ZL_SAMPLE_BUFFER_SIZE);
  std::vector<char> window(1 << 16);
  const int commands[] = {demo::kReadBI, demo::kReadAI, demo::kReadAItolvin,
                          demo::kReadCT, demo::kReadKI, 474,
                          480,           demo::kWriteBO};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  uint64_t calls = 0;
  for (int i = 0; i < 200000 && std::chrono::steady_clock::now() < deadline; ++i) {
    const int slot = 1 + i % 2;
    for (const Read &r : reads) {
      HostValue v{r.Type, {}};
      if (r.Type == ZL_TYPE_TEXT) {
        const auto address = reinterpret_cast<uintptr_t>(text.data());
        std::memcpy(v.value, &address, sizeof address);
      }
      GetInput(h, r.Channel, &v);
    }
    calls += reads.size();
    OutputRequest(h, Ch(slot, commands[i % 8]), ZL_TYPE_BOOL, 1);
    OutputRequest(h, Ch(slot, demo::kBO + i % 4), ZL_TYPE_BOOL, i / 4 % 2);
    OutputRequest(h, Ch(1, demo::kMO + i % 3), ZL_TYPE_DOUBLE, Bits(0.5 * (i % 9)));
    OutputRequest(h, Ch(slot, demo::kCT), ZL_TYPE_DOUBLE, Bits(i));
    OutputRequest(h, 2501, ZL_TYPE_DOUBLE, Bits(i % 50));
    OutputRequest(h, 3000 + i % 4, ZL_TYPE_U16, static_cast<uint64_t>(i));
    OutputRequest(h, 3099, ZL_TYPE_BOOL, 1);
    InputRequest(h, static_cast<uint16_t>(2500 + i % 7));
    InputRequest(h, 2600);
    PumpMessages(h, 0);
    calls += 10;
    if (i % 10 == 0) {
      GetStatusWindow(h, window.data(), static_cast<int32_t>(window.size()));
      OutputRequest(h, 65533, ZL_TYPE_DOUBLE, Bits(1.5));
      OutputRequest(h, 65534, ZL_TYPE_DOUBLE, Bits(1 + i % 400));
      OutputRequest(h, 65535, ZL_TYPE_BOOL, i % 20 == 0);
      OutputRequest(h, 60000, ZL_TYPE_U8, slot);
      OutputRequest(h, 60002, ZL_TYPE_U16, static_cast<uint64_t>(1 + i % 528));
      calls += 6;
    }
    if (i % 100 == 0) {
      DriverProc(h, i % 7, 10, 20);
      QueryProc(h, 8, i % 3);
      ClickButton(h, "About");
      DriverCallBack(h, i % 4);
      BufferInfo(h, ZL_SAMPLE_BUFFER, ZL_SAMPLE_BUFFER_TYPE, ZL_SAMPLE_BUFFER_SIZE);
      SetBufferAddr(h, ZL_SAMPLE_BUFFER, buffer.data());
      OutputRequest(h, 60003, ZL_TYPE_BOOL, 1);  // a sample transfer
      int32_t result;
      InputFinalized(h, 0, &result);
      OutputFinalized(h, 0, &result);
      calls += 10;
    }
    if (i % 150 == 75) OutputRequest(h, 65531, ZL_TYPE_BOOL, 1);  // queues and reception reset
    if (i % 200 == 100) OutputRequest(h, Ch(slot, demo::kConnect), ZL_TYPE_BOOL, 0);
    if (i % 200 == 150 || s.D(demo::kClientConnected) == 0.0)
      OutputRequest(h, Ch(slot, demo::kConnect), ZL_TYPE_BOOL, 1);
  }
  RecordProperty("calls", std::to_string(calls));
  EXPECT_GT(calls, 1000u);

  // The line behaves again: the driver is still serving.
  s.Sim().SetFaults({});
  OutputRequest(h, 65535, ZL_TYPE_BOOL, 0);  // no more forcing
  OutputRequest(h, 65531, ZL_TYPE_BOOL, 1);
  ASSERT_TRUE(s.Connect(1));
  sim::ControllerModel &kotelna = *s.Sim().Station(1);
  for (int k = 0; k < 16; ++k) kotelna.SetBinaryInput(k, k % 5 == 1);
  s.Command(Ch(1, demo::kReadBI));
  ASSERT_TRUE(s.PumpUntil([&] {
    for (int k = 0; k < 16; ++k) {
      const bool inverted = k == 2 || k == 3;  // BINAR_IN_XOR 3 4
      if (s.Bool(Ch(1, demo::kBI + k)) != ((k % 5 == 1) != inverted ? 1 : 0)) return false;
    }
    return true;
  }));
}

}  // namespace
}  // namespace zl::test
