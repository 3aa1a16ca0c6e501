// The protocol engine's operations, each per operation, on the last station
// of a 100-station line with every kind of definition:
//   BuildRequestFrame   per request kind;
//   DecodeResponse      per answer item kind, on the answers the simulated
//                       controller gives to those very frames;
//   ReceiveStep         per call and per message, over a stream of all those
//                       answers with PREFIX and SUFFIX as they come from the
//                       gateway;
//   CompressReads       of 6000 single QQ reads (100 stations x 60).
// None of them has a target of its own: they are the parts of a pass, and the
// pass time of bench/line is what they add up to.
#include <benchmark/benchmark.h>

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "BenchDriver.h"
#include "BenchUtil.h"
#include "core/DriverInstance.h"
#include "core/RequestQueues.h"
#include "protocol/Decoder.h"
#include "protocol/Reception.h"
#include "protocol/RequestFrames.h"
#include "support/PerfConfig.h"
#include "zlsim/ControllerModel.h"
#include "zlsim/LineFrames.h"

namespace zl {
namespace {

using namespace zl::test::perf;

constexpr int kStations = 100;
constexpr std::size_t kPrefixSize = 2;  // "$02$02"
constexpr std::size_t kSuffixSize = 1;  // "$0D"

struct Case {
  std::string Id;
  QueuedRequest Request;
  Str255 Frame;
  Str255 Message;  // the controller's answer, without PREFIX and SUFFIX
};

// The line: its configuration, one request of every kind for its last
// station, their frames and the simulated controller's answers.
struct Line {
  Line() {
    sim::ControllerModel model(*di.StationAt(kStations), kStations, 1);
    Station &st = *di.StationAt(kStations);

    std::string merged;
    for (int v = 0; v < kQqPerStation; ++v) {
      const auto a = QqAddress(kStations, v == kStringVariable ? 0 : v);
      merged.append(reinterpret_cast<const char *>(a.data()), 3);
    }
    const auto real = QqAddress(kStations, kRealVariable);
    const std::string one(reinterpret_cast<const char *>(real.data()), 3);
    const MemoryBlock *block = &st.MemoryBlocks.at(0);
    auto add = [&](const char *id, int32_t kind, int16_t index = 0, std::string data = {},
                   const MemoryBlock *definition = nullptr) {
      QueuedRequest r;
      r.Station = kStations;
      r.Kind = kind;
      r.Index = index;
      r.Data = data;
      r.Definition = definition;
      cases.push_back({id, r, {}, {}});
    };
    add("B_binary_inputs", kReadBinaryInputs);
    add("N_analog_block", kReadAnalogBlock);
    add("C_counters", kReadCounters);
    add("C_counter_reset", kResetCounters);
    add("b_binary_outputs", kWriteBinaryOutputs);
    add("n_memory_output", kWriteMemoryOutput, 1);
    add("N_memory_input", kReadMemoryInput, 1);
    add("A_analog_inputs", kReadAnalogInputs);
    add("K_memory_outputs", kReadMemoryOutputs);
    add("k_memory_outputs", kWriteMemoryOutputs);
    add("QQ_write", kWriteQq, 0, one + std::string("\x01\x02\x03\x04", 4));
    add("Qq_read_1", kReadQq, 0, one);
    add("Qq_read_60", kReadQq, 0, merged);
    add("N_memory_block", kReadMemoryBlock, 0, {}, block);
    add("n_block_item", kWriteBlockItem, 2, std::string("\x00\x00\x41", 3), block);
    add("QN_samples", kReadSamples1, static_cast<int16_t>(0x8000));

    const uint8_t driver = di.Global.Address;
    for (Case &c : cases) {
      c.Frame = BuildRequestFrame(di, c.Request);
      const std::string_view f = c.Frame.view();
      const std::size_t commandSize = f.size() - kPrefixSize - sim::kHeaderSize - 1 - kSuffixSize;
      const std::string items = model.Serve(f.substr(kPrefixSize + sim::kHeaderSize, commandSize),
                                            sim::kMaxMessage - sim::kHeaderSize - 1);
      c.Message = sim::BuildMessage(driver, 'Y', st.Retranslation, driver, st.Address, items, "");
    }
  }

  bench::ConfiguredDriver driver;
  DriverInstance &di = driver.di;
  std::vector<Case> cases;
};

Line &TheLine() {
  static Line line;
  return line;
}

// The gateway's bytes, served round and round from one block: a stream that
// never runs dry, at the cost of an index.
class StreamClient : public bench::QuietClient {
 public:
  explicit StreamClient(std::string stream) : stream_(std::move(stream)) {}
  int ReceivedCount() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return 1 << 20;
  }
  int ReadByte(uint8_t &b) override {
    std::lock_guard<std::mutex> lock(mutex_);
    b = static_cast<uint8_t>(stream_[pos_]);
    pos_ = (pos_ + 1) % stream_.size();
    return 0;
  }
  Str255 ReadBytes(uint16_t maxCount) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Str255 out;
    for (uint16_t i = 0; i < maxCount && i < Str255::Capacity; ++i) {
      out.push_back(static_cast<uint8_t>(stream_[pos_]));
      pos_ = (pos_ + 1) % stream_.size();
    }
    return out;
  }

 private:
  std::mutex mutex_;
  std::string stream_;
  std::size_t pos_ = 0;
};

std::string AnswerStream() {
  std::string stream;
  for (const Case &c : TheLine().cases)
    stream += std::string("\x02\x02", 2) + c.Message.str() + "\r";
  return stream;
}

void BM_BuildRequestFrame(benchmark::State &state, const Case &c) {
  DriverInstance &di = TheLine().di;
  for (auto _ : state) benchmark::DoNotOptimize(BuildRequestFrame(di, c.Request));
  state.counters["frame_bytes"] = static_cast<double>(c.Frame.size());
}

void BM_DecodeResponse(benchmark::State &state, const Case &c) {
  DriverInstance &di = TheLine().di;
  int result = 0;
  for (auto _ : state) {
    result = DecodeResponse(di, c.Message, c.Frame);
    benchmark::DoNotOptimize(result);
  }
  if (result != 1) state.SkipWithError("the answer was not decoded");
  state.counters["message_bytes"] = static_cast<double>(c.Message.size());
}

// ReceiveStep over the stream of answers. One iteration is one call
// (perMessage false) or the calls one message takes; the store is emptied
// every 1024 messages.
void ReceiveStream(benchmark::State &state, bool perMessage) {
  DriverInstance &di = TheLine().di;
  StreamClient client(AnswerStream());
  ResetReception(di);
  di.Received.Clear();
  int64_t stored = 0;
  for (auto _ : state) {
    bool done = ReceiveStep(di, client);
    while (perMessage && !done) done = ReceiveStep(di, client);
    if (done && ++stored % 1024 == 0) {
      state.PauseTiming();
      di.Received.Clear();
      state.ResumeTiming();
    }
  }
  di.Received.Clear();
  if (!perMessage && stored > 0) {
    state.counters["calls_per_message"] =
        static_cast<double>(state.iterations()) / static_cast<double>(stored);
  }
}

void BM_CompressReads(benchmark::State &state) {
  DriverInstance &di = TheLine().di;
  std::size_t before = 0, after = 0;
  for (auto _ : state) {
    state.PauseTiming();
    di.Queues.Clear(QueueId::Secondary);
    for (int n = 1; n <= kStations; ++n) {
      for (int v = 0; v < kQqPerStation; ++v) {
        const auto a = QqAddress(n, v);
        di.Queues.Enqueue(QueueId::Secondary, static_cast<uint8_t>(n), kReadQq, 0,
                          std::string_view(reinterpret_cast<const char *>(a.data()), 3));
      }
    }
    before = di.Queues.Count(QueueId::Secondary);
    state.ResumeTiming();
    di.Queues.CompressReads();
  }
  after = di.Queues.Count(QueueId::Secondary);
  di.Queues.Clear(QueueId::Secondary);
  state.counters["reads_before"] = static_cast<double>(before);
  state.counters["reads_after"] = static_cast<double>(after);
}

const bool registered = [] {
  for (const Case &c : TheLine().cases) {
    bench::Register("BuildRequestFrame/" + c.Id,
                    [&c](benchmark::State &s) { BM_BuildRequestFrame(s, c); });
  }
  for (const Case &c : TheLine().cases) {
    bench::Register("DecodeResponse/" + c.Id,
                    [&c](benchmark::State &s) { BM_DecodeResponse(s, c); });
  }
  bench::Register("ReceiveStep/call", [](benchmark::State &s) { ReceiveStream(s, false); });
  bench::Register("ReceiveStep/message", [](benchmark::State &s) { ReceiveStream(s, true); });
  bench::Register("CompressReads/6000_reads", BM_CompressReads)->Unit(benchmark::kMicrosecond);
  return true;
}();

}  // namespace
}  // namespace zl
