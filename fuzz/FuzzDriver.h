// What the fuzz targets share: a driver instance loaded from a parameter
// file and worked without threads or sockets, a line client that serves the
// bytes a target hands it, and host services that run everything at once on
// the calling thread and show nothing.
#ifndef ZL_FUZZ_FUZZDRIVER_H
#define ZL_FUZZ_FUZZDRIVER_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/DriverInstance.h"
#include "core/Services.h"
#include "core/LineClient.h"

namespace zl::fuzz {

// Stops the process at once when an invariant of the driver is broken, so
// that libFuzzer keeps the input that broke it.
#define ZL_FUZZ_CHECK(cond)        \
  do {                             \
    if (!(cond)) __builtin_trap(); \
  } while (0)

// Takes an input apart from its front: numbers little-endian, missing bytes
// read as 0, so that seed inputs are easy to write by hand and every input
// means something.
class ByteReader {
 public:
  ByteReader(const uint8_t *data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return at_ >= size_; }
  std::size_t remaining() const { return size_ - at_; }
  uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
  uint64_t U64() {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(U8()) << (8 * i);
    return v;
  }
  // A number from 0 to count - 1 (count >= 1).
  unsigned Pick(unsigned count) { return U8() % count; }
  // Up to n bytes.
  std::string_view Bytes(std::size_t n) {
    n = std::min(n, remaining());
    std::string_view out(reinterpret_cast<const char *>(data_) + at_, n);
    at_ += n;
    return out;
  }
  // A length byte, then that many bytes.
  std::string_view Counted() { return Bytes(U8()); }
  std::string_view Rest() { return Bytes(remaining()); }

 private:
  const uint8_t *data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The gateway as the fuzzer plays it: the bytes given to Feed wait in the
// receive store; frames handed over are counted and checked, never sent.
class InputLine : public LineClient {
 public:
  bool Connected() const override { return connected_; }
  bool PollEnabled() const override { return true; }
  std::string Host() const override { return host_; }
  int Port() const override { return port_; }
  void SetEndpoint(const std::string &host, int port) override;
  bool Connect() override;
  void Disconnect() override { connected_ = false; }

  int ReceivedCount() override { return static_cast<int>(pending_.size() - taken_); }
  int ReadByte(uint8_t &b) override;
  Str255 ReadBytes(uint16_t maxCount) override;
  void ClearReceived() override;

  // Every frame must fit the 255-byte text it travels in.
  void SendFrame(LineState &state, const Str255 &frame, uint8_t newMode) override;
  int PendingOutput() override { return 0; }
  bool CanTransmit(const LineState &) override { return true; }

  void Feed(std::string_view bytes);
  uint64_t FramesSent() const { return framesSent_; }

 private:
  std::string pending_;
  std::size_t taken_ = 0;
  bool connected_ = true;
  std::string host_ = "127.0.0.1";
  int port_ = 4001;
  uint64_t framesSent_ = 0;
};

// Event lines and status lines are dropped; the synchronised call and the
// event hand-over run at once, as they would with the host pumping.
class QuietServices : public DriverServices {
 public:
  explicit QuietServices(DriverInstance &di) : di_(di) {}
  void AddEvent(std::string_view) override {}
  void AddStatusLine(std::string_view) override {}
  void PostEvent(std::string_view text) override;
  void Synchronize(const std::function<void()> &fn) override { fn(); }
  void Wake() override {}

 private:
  DriverInstance &di_;
};

// A driver instance configured as Init configures it (defaults, the file,
// the station reset, the channel map), with the quiet services and the input
// line attached. Nothing runs in the background.
class LoadedDriver {
 public:
  LoadedDriver();
  LoadedDriver(const LoadedDriver &) = delete;
  LoadedDriver &operator=(const LoadedDriver &) = delete;

  // False when the text does not load.
  bool Load(std::string_view parameterText);

  DriverInstance Di;
  QuietServices Services{Di};
  InputLine Line;
};

// The engine tests' line: three stations with every kind of object, a
// two-byte PREFIX, a SUFFIX and a PRESUFFIX.
std::string EngineLineText();
// examples/demo.par as it stands in the source tree.
std::string DemoLineText();

// Points drive C: (the debug log, sample files) at a temporary folder of its
// own that is removed when the process ends...
void UsePrivateDriveC();
// ...or at a folder that does not exist: the debug log's lines are formatted
// and then lost, and nothing piles up on the disk however long a run lasts.
void UseMissingDriveC();

}  // namespace zl::fuzz

#endif  // ZL_FUZZ_FUZZDRIVER_H
