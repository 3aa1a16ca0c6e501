// Feeds arbitrary bytes from the gateway to a configured driver: reception
// (ReceiveStep) cuts them into messages, the decoder (ExtractStep) writes
// what they carry into the stations. Nothing may be read or written outside
// a message, a station's lists, the sample table or the host's sample
// buffer, and only sound messages may reach the store.
//
// Input: a flags byte, the length n of the request frame the answers are
// paired with, its n bytes, then the byte stream.
//   bit 0  the line without PREFIX (every byte may start a message)
//   bit 1  the debug log on (its texts are formatted, then lost)
//   bit 2  the host has handed over its sample buffer
//   bit 3  every stored answer is paired with the request frame, not only the first
//   bit 4  decode each answer as soon as it is stored, not all at the end
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "FuzzDriver.h"
#include "driver/HostData.h"
#include "protocol/Reception.h"
#include "util/Checksum.h"

namespace {

using namespace zl;
using zl::fuzz::LoadedDriver;

std::string WithoutPrefix(std::string text) {
  const std::string framed = " PREFIX $10$02";
  const std::size_t at = text.find(framed);
  if (at == std::string::npos) __builtin_trap();
  text.replace(at, framed.size(), " PREFIX NONE");
  return text;
}

// The oldest stored message passed the checksum and the addressee test.
void CheckStoreHead(DriverInstance &di) {
  ReceivedMessage oldest;
  if (!di.Received.CopyOldest(oldest)) return;
  const Str255 &m = oldest.Message;
  ZL_FUZZ_CHECK(m.size() >= 3 && MessageChecksumOk(m.view()));
  const bool addressed = m[2] == 'Y' || m[2] == 'y';
  ZL_FUZZ_CHECK(!addressed || m[0] == di.Global.Address);
}

void CheckStations(DriverInstance &di) {
  std::lock_guard<std::mutex> lock(di.DataLock);
  for (int n = 1; n <= di.StationCount; ++n) {
    const Station &st = *di.StationAt(n);
    for (uint8_t b : st.BinaryIn) ZL_FUZZ_CHECK(b <= 1);
    for (const QqValue &v : st.QqValues) ZL_FUZZ_CHECK(v.Text.size() == 33);
    for (std::size_t b = 0; b < st.MemoryBlocks.size(); ++b)
      for (std::size_t k = 0; k < st.MemoryBlocks[b].ItemCount(); ++k)
        ZL_FUZZ_CHECK(st.BlockItemValues[b][k].size() <= 4);
  }
  ZL_FUZZ_CHECK(!di.Polling.FollowUpPending || !di.Polling.FollowUpFrame.empty());
}

void CheckSampleBuffer(const uint8_t *buffer) {
  uint32_t rows, status;
  std::memcpy(&rows, buffer + 8, 4);
  std::memcpy(&status, buffer + 24, 4);
  ZL_FUZZ_CHECK(rows <= 528 && status <= 2);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  zl::fuzz::UseMissingDriveC();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  static const std::string framed = zl::fuzz::EngineLineText();
  static const std::string bare = WithoutPrefix(framed);
  const uint8_t flags = data[0];
  const std::size_t frameLength = std::min<std::size_t>(data[1], size - 2);
  const char *bytes = reinterpret_cast<const char *>(data);
  const std::string_view frame(bytes + 2, frameLength);
  const std::string_view stream(bytes + 2 + frameLength, size - 2 - frameLength);

  LoadedDriver d;
  if (!d.Load(flags & 1 ? bare : framed)) __builtin_trap();
  DriverInstance &di = d.Di;
  if (flags & 2) di.Log.Enable();
  // Exactly the size the host announces, so a write past it is caught.
  std::unique_ptr<uint8_t[]> buffer;
  if (flags & 4) {
    buffer = std::make_unique<uint8_t[]>(ZL_SAMPLE_BUFFER_SIZE);
    HostSetBufferAddr(di, ZL_SAMPLE_BUFFER, buffer.get());
  }
  {
    std::lock_guard<std::mutex> lock(di.DataLock);
    di.Polling.LastRequestFrame = frame;
  }
  d.Line.Feed(stream);

  const std::size_t prefix = di.Global.Prefix.size();
  // Every phase that has its bytes consumes at least one: three calls a byte
  // end every message the stream holds.
  for (std::size_t calls = 0, limit = 3 * stream.size() + 8; calls < limit; ++calls) {
    const bool stored = ReceiveStep(di, d.Line);
    {
      std::lock_guard<std::mutex> lock(di.DataLock);
      ZL_FUZZ_CHECK(di.Polling.PrefixWindow.size() <= prefix);
      if (stored && (flags & 8)) di.Polling.LastRequestFrame = frame;
    }
    if (stored) CheckStoreHead(di);
    if (flags & 16) ExtractStep(di);
  }
  while (di.Received.Count() > 0) {
    CheckStoreHead(di);
    ExtractStep(di);
  }
  CheckStations(di);
  if (buffer) CheckSampleBuffer(buffer.get());
  di.Log.Disable();
  return 0;
}
