// Codes arbitrary requests into frames (BuildRequestFrame) on the engine's
// test line: any station number, kind, index, data and memory block, any
// output values, and framing texts of any length. A frame never exceeds 255
// bytes; a frame that was not cut carries PREFIX, a LEN that counts the
// bytes after it, a checksum that makes its body's exclusive-or zero, and
// SUFFIX; the requests that can always be coded are.
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

#include "FuzzDriver.h"
#include "protocol/RequestFrames.h"
#include "util/Checksum.h"

namespace {

using namespace zl;

zl::fuzz::LoadedDriver &Driver() {
  static zl::fuzz::LoadedDriver *d = [] {
    auto *driver = new zl::fuzz::LoadedDriver;
    if (!driver->Load(zl::fuzz::EngineLineText())) __builtin_trap();
    return driver;
  }();
  return *d;
}

Real6 RawReal(fuzz::ByteReader &in) {
  Real6 r;
  const std::string_view bytes = in.Bytes(6);
  std::memcpy(r.b, bytes.data(), bytes.size());
  return r;
}

// The station's output values, as the host may have left them: twelve bytes
// of binary output bits, memory outputs 1..8, then one entry of any type.
void SetOutputs(DriverInstance &di, Station &st, fuzz::ByteReader &in) {
  std::lock_guard<std::mutex> lock(di.DataLock);
  const std::string_view bits = in.Bytes(12);
  for (std::size_t k = 0; k < 8 * bits.size(); ++k)
    st.BinaryOut[k] = static_cast<uint8_t>(bits[k / 8]) >> (k % 8) & 1;
  for (int i = 1; i <= 8; ++i) st.MemoryOutValues[i] = RawReal(in);
  const int entry = 1 + in.Pick(kMemoryListSize);
  st.MemoryOut[entry].Type = in.U8();
  st.MemoryOutValues[entry] = RawReal(in);
}

void CheckFrame(const GlobalSettings &g, const Str255 &frame) {
  ZL_FUZZ_CHECK(frame.size() <= 255);
  if (frame.empty() || frame.full()) return;  // empty, or cut: nothing more to see
  const std::string_view f = frame.view();
  ZL_FUZZ_CHECK(f.substr(0, g.Prefix.size()) == g.Prefix.view());
  ZL_FUZZ_CHECK(f.substr(f.size() - g.Suffix.size()) == g.Suffix.view());
  const std::string_view body =
      f.substr(g.Prefix.size(), f.size() - g.Prefix.size() - g.Suffix.size());
  ZL_FUZZ_CHECK(body.size() >= 7 && body[2] == 'Y');
  ZL_FUZZ_CHECK(static_cast<uint8_t>(body[1]) == static_cast<uint8_t>(body.size() - 2));
  ZL_FUZZ_CHECK(XorChecksum(body) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  zl::fuzz::UseMissingDriveC();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  zl::fuzz::LoadedDriver &d = Driver();
  DriverInstance &di = d.Di;
  fuzz::ByteReader in(data, size);

  // Input: flags; the framing texts the flags name (each a length byte and
  // its bytes); station, kind, index (2 bytes); the memory block (0 none, 1
  // the station's first, 2 one made of: address (2), size, a counted list of
  // item types); the output values when flag 16 is set; the data.
  const GlobalSettings saved = di.Global;
  const uint8_t flags = in.U8();
  if (flags & 1) di.Global.Prefix = in.Counted();
  if (flags & 2) di.Global.PreSuffix = in.Counted();
  if (flags & 4) di.Global.Suffix = in.Counted();
  if (flags & 8) di.Log.Enable();

  QueuedRequest r;
  r.Station = in.U8();
  r.Kind = in.U8();
  r.Index = static_cast<int16_t>(in.U16());
  // A block of the station, none, or one of any shape.
  MemoryBlock made;
  Station *st = r.Station >= 1 && r.Station <= di.StationCount ? di.StationAt(r.Station) : nullptr;
  switch (in.Pick(3)) {
    case 1:
      if (st && !st->MemoryBlocks.empty()) r.Definition = &st->MemoryBlocks.front();
      break;
    case 2:
      made.Address = static_cast<int16_t>(in.U16());
      made.Size = in.U8();
      made.ItemTypes = in.Counted();
      made.ItemDirections = std::string(made.ItemTypes.size(), '\x03');
      r.Definition = &made;
      break;
    default:
      break;
  }
  if (st && (flags & 16)) {
    SetOutputs(di, *st, in);
    st->MemoryInBlockRead = (flags & 32) != 0;
  }
  r.Data = in.Rest();

  const Str255 frame = BuildRequestFrame(di, r);
  CheckFrame(di.Global, frame);
  const bool alwaysCoded = r.Kind == kReadMemoryOutputs || r.Kind == kWriteMemoryOutputs ||
                           r.Kind == kWriteQq || r.Kind == kReadQq;
  if (st && alwaysCoded) ZL_FUZZ_CHECK(!frame.empty());

  di.Log.Disable();
  di.Global = saved;
  if (st) {
    // The engine line as it was loaded: no block reading, memory outputs REAL.
    st->MemoryInBlockRead = false;
    for (MemoryItemDef &m : st->MemoryOut) m.Type = kMemReal;
  }
  return 0;
}
