// Plays a host that calls anything in any order on the demonstration line:
// GetInput, OutputRequest and InputRequest with arbitrary channels, value
// types and values, the sample buffer calls, and, in between, steps of the
// polling cycle that send what was queued, time-outs, answers made of
// arbitrary bytes, a lost connection and the decoding of what arrived. No
// network and no thread: the line client serves the fuzzer's bytes.
//
// The host's text buffers and sample buffer are exactly as large as the
// host interface promises (256 and 16862 bytes), so a copy past them is
// caught.
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

#include "FuzzDriver.h"
#include "core/RequestQueues.h"
#include "driver/HostData.h"
#include "driver/Housekeeping.h"
#include "driver/PollingCycle.h"
#include "protocol/Reception.h"

namespace {

using namespace zl;

// The channels of the demonstration line that lead somewhere: QQ variables,
// memory blocks, the diagnostic channels and the driver's own channels.
constexpr uint16_t kKnownChannels[] = {
    2500,  2501,  2502,  2503,  2504,  2505,  2506,  2600,  3000,  3001,  3002,  3003,  3099,
    3100,  3101,  3102,  3199,  487,   488,   489,   490,   491,   492,   493,   494,   495,
    496,   497,   498,   499,   60000, 60001, 60002, 60003, 60004, 60009, 60010, 60017, 60018,
    60021, 60022, 60100, 60291, 60292, 65531, 65532, 65533, 65534, 65535};

uint16_t Channel(fuzz::ByteReader &in) {
  switch (in.Pick(4)) {
    case 0:
      return in.U16();
    case 1:
      return kKnownChannels[in.Pick(sizeof kKnownChannels / sizeof kKnownChannels[0])];
    default:  // a station's channel: slot n owns (n - 1) * 500 + 1 .. + 481
      return static_cast<uint16_t>(500 * in.Pick(4) + in.U16() % 500);
  }
}

struct Host {
  std::unique_ptr<char[]> text = std::make_unique<char[]>(256);
  std::unique_ptr<uint8_t[]> buffer = std::make_unique<uint8_t[]>(ZL_SAMPLE_BUFFER_SIZE);
};

void Read(DriverInstance &di, Host &host, fuzz::ByteReader &in) {
  const uint16_t channel = Channel(in);
  HostValue value{in.Pick(15), {}};
  if (value.type == ZL_TYPE_TEXT) {
    const auto address = reinterpret_cast<uintptr_t>(host.text.get());
    std::memcpy(value.value, &address, sizeof address);
  }
  HostGetInput(di, channel, value);
}

void Write(DriverInstance &di, fuzz::ByteReader &in) {
  const uint16_t channel = Channel(in);
  const uint32_t type = in.Pick(15);
  HostOutputRequest(di, channel, type, in.U64());
}

void Buffer(DriverInstance &di, Host &host, fuzz::ByteReader &in) {
  const uint8_t how = in.U8();
  const uint32_t number = how & 1 ? ZL_SAMPLE_BUFFER : in.U16() | 0x10000u * in.U16();
  if (how & 2) {
    const uint8_t type = in.U8();
    HostBufferInfo(di, number, type, in.U16());
  } else {
    HostSetBufferAddr(di, number, host.buffer.get());
  }
}

// Steps of the polling cycle; a time-out when the answer time has run out.
void Cycle(fuzz::LoadedDriver &d, fuzz::ByteReader &in) {
  DriverInstance &di = d.Di;
  const uint8_t how = in.U8();
  if (how & 1) {
    std::lock_guard<std::mutex> lock(di.DataLock);
    di.Polling.SecondsSinceTransmit = ToReal6(1000.0);
    di.Polling.MsTimers[1] = ToReal6(100000.0);
  }
  for (int steps = 1 + (how >> 1) % 4; steps > 0; --steps) CycleStep(di, d.Line);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  zl::fuzz::UsePrivateDriveC();  // sample files are written there
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string demo = zl::fuzz::DemoLineText();
  zl::fuzz::LoadedDriver d;
  if (!d.Load(demo)) __builtin_trap();
  DriverInstance &di = d.Di;
  di.StationOnline.store(1);
  Host host;
  fuzz::ByteReader in(data, size);
  // Input: operations one after another, each a byte that selects it and
  // the bytes it takes (channels: a byte that selects how, then the number).
  while (!in.empty()) {
    switch (in.Pick(9)) {
      case 0:
      case 1:
        Read(di, host, in);
        break;
      case 2:
      case 3:
        Write(di, in);
        break;
      case 4:
        HostInputRequest(di, Channel(in));
        break;
      case 5:
        Buffer(di, host, in);
        break;
      case 6:
        Cycle(d, in);
        break;
      case 7:
        d.Line.Feed(in.Counted());
        CycleStep(di, d.Line);
        ExtractStep(di);
        break;
      default:
        // The connection comes and goes; without it the queues are emptied.
        if (d.Line.Connected()) {
          d.Line.Disconnect();
        } else {
          d.Line.Connect();
        }
        ConnectionPass(di, d.Line);
        break;
    }
  }
  const std::size_t queued =
      di.Queues.Count(QueueId::Primary) + di.Queues.Count(QueueId::Secondary);
  ZL_FUZZ_CHECK(queued <= 90 * size + 1);  // an op queues 88 requests at most
  return 0;
}
