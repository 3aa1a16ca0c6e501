#include "protocol/RequestFrames.h"

#include <mutex>

#include "util/Checksum.h"
#include "util/Encodings.h"

namespace zl {

namespace {

constexpr uint8_t kSampleBlockLength = 186;

void AppendWord(Str255 &s, uint16_t w) {
  s.push_back(static_cast<uint8_t>(w & 0xFF));
  s.push_back(static_cast<uint8_t>(w >> 8));
}

// The value limited to 0..max with its fraction cut off (NaN gives 0).
uint16_t LimitedWhole(double v, uint16_t max) {
  if (!(v > 0.0)) return 0;
  if (v >= max) return max;
  return static_cast<uint16_t>(v);
}

// Group mask of a read or write that answers mask 0 (all twelve groups) for
// counts above 64.
uint8_t MaskUpTo64(uint8_t count) {
  return count > 64 ? 0 : GroupMask(count);
}

bool IsSampleRead(int32_t kind) {
  switch (kind) {
    case kReadSamples1:
    case kReadSamples2:
    case kReadSamples3:
    case kReadSamplesAlt1:
    case kReadSamplesAlt2:
    case kReadSamplesAlt3:
      return true;
    default:
      return false;
  }
}

bool MemoryListEntry(int16_t index) {
  return index >= 1 && index <= kMemoryListSize;
}

// "b": the mask, then one byte per requested group (all twelve with mask 0);
// bit k of the byte of group g is binary output 8g + k.
void BinaryOutputCommand(const DriverInstance &di, const Station &st, Str255 &cmd) {
  const uint8_t mask = MaskUpTo64(st.NumBinarOut);
  cmd += 'b';
  cmd.push_back(mask);
  MutexLock lock(di.DataLock);
  for (int g = 0; g < kMaxBinaryOut / 8; ++g) {
    if (mask != 0 && !TestBit(mask, g)) continue;
    uint8_t bits = 0;
    for (int k = 0; k < 8; ++k) {
      if (st.BinaryOut[8 * g + k] != 0) bits = SetBit(bits, k);
    }
    cmd.push_back(bits);
  }
}

// "n": memory output entry index, its value coded by the entry's type. A type
// outside 1..3 leaves the command empty (the frame is still sent).
void MemoryOutputCommand(const DriverInstance &di, const Station &st, int index, Str255 &cmd) {
  const MemoryItemDef &entry = st.MemoryOut[index];
  double value;
  {
    MutexLock lock(di.DataLock);
    value = FromReal6(st.MemoryOutValues[index]);
  }
  switch (entry.Type) {
    case kMemByte:
    case kMemWord:
    case kMemReal:
      break;
    default:
      return;
  }
  cmd += 'n';
  AppendWord(cmd, entry.Address);
  cmd.push_back(entry.Type);
  if (entry.Type == kMemByte) {
    cmd.push_back(static_cast<uint8_t>(LimitedWhole(value, 255)));
  } else if (entry.Type == kMemWord) {
    AppendWord(cmd, LimitedWhole(value, 65535));
  } else {
    cmd += EncodeReal3(value);
  }
}

// "N": one memory input (its type number is the length) or, with the ARRAY
// flag, all of them as one block from the address of entry 1.
bool MemoryInputCommand(DriverInstance &di, const Station &st, int16_t index, Str255 &cmd) {
  uint16_t address;
  uint8_t length;
  const char *label;
  if (st.MemoryInBlockRead) {
    address = st.MemoryIn[1].Address;
    length = static_cast<uint8_t>(3 * st.NumMemoryIn);
    label = "CodeMess MI whole block, adr";
  } else {
    if (!MemoryListEntry(index)) return false;
    address = st.MemoryIn[index].Address;
    length = st.MemoryIn[index].Type;
    label = "CodeMess MI, adr";
  }
  if (di.Log.Enabled()) di.Debug(label, FormatReal(address, 5, 0));
  cmd += 'N';
  AppendWord(cmd, address);
  cmd.push_back(length);
  return true;
}

// "n": element index (1-based) of a memory block, at the block's address plus
// the sizes of the elements before it, with the first bytes of data.
bool BlockItemCommand(const MemoryBlock &block, int16_t index, const Str255 &data, Str255 &cmd) {
  if (index < 1 || static_cast<std::size_t>(index) > block.ItemCount()) return false;
  auto address = static_cast<uint16_t>(block.Address);
  uint8_t size = 0;
  for (int j = 1; j <= index; ++j) {
    size = BlockItemSize(block.ItemTypes[static_cast<std::size_t>(j - 1)]);
    if (size == 0) return false;
    if (j < index) address = static_cast<uint16_t>(address + size);
  }
  cmd += 'n';
  AppendWord(cmd, address);
  cmd.push_back(size);
  for (uint8_t i = 0; i < size; ++i) cmd.push_back(data[i]);  // missing bytes are 0
  return true;
}

// The command of a request; false when the request cannot be coded.
bool BuildCommand(DriverInstance &di, const Station &st, const QueuedRequest &r, Str255 &cmd) {
  switch (r.Kind) {
    case kReadBinaryInputs:
      if (st.NumBinarIn == 0) return false;
      cmd += 'B';
      cmd.push_back(MaskUpTo64(st.NumBinarIn));
      return true;
    case kReadAnalogBlock:
      if (st.NumAnalogIn == 0) return false;
      cmd += 'N';
      AppendWord(cmd, st.AnalogInAddr);
      cmd.push_back(static_cast<uint8_t>(3 * st.NumAnalogIn));
      return true;
    case kReadCounters:
    case kResetCounters: {
      if (st.NumCounterIn == 0 || st.NumCounterIn > kMaxCounters) return false;
      uint8_t mask = GroupMask(st.NumCounterIn);
      if (r.Kind == kResetCounters) mask = static_cast<uint8_t>(mask + 128);
      cmd += 'C';
      cmd.push_back(mask);
      return true;
    }
    case kWriteBinaryOutputs:
      if (st.NumBinarOut == 0) return false;
      BinaryOutputCommand(di, st, cmd);
      return true;
    case kWriteMemoryOutput:
      if (st.NumMemoryOut == 0 || !MemoryListEntry(r.Index)) return false;
      MemoryOutputCommand(di, st, r.Index, cmd);
      return true;
    case kReadMemoryInput:
      if (st.NumMemoryIn == 0) return false;
      return MemoryInputCommand(di, st, r.Index, cmd);
    case kReadAnalogInputs:
      if (st.NumAnalogIn == 0 || st.NumAnalogIn > kMaxAnalogIn) return false;
      cmd += 'A';
      cmd.push_back(GroupMask(st.NumAnalogIn));
      return true;
    case kReadMemoryOutputs:
      cmd += 'K';
      cmd.push_back(255);
      return true;
    case kWriteMemoryOutputs: {
      cmd += 'k';
      cmd.push_back(255);
      double values[9];
      {
        MutexLock lock(di.DataLock);
        for (int i = 1; i <= 8; ++i) values[i] = FromReal6(st.MemoryOutValues[i]);
      }
      for (int i = 1; i <= 8; ++i) cmd += EncodeReal3(values[i]);
      return true;
    }
    case kWriteQq:
      cmd += "QQ";
      cmd += r.Data;
      return true;
    case kReadQq:
      cmd += "Qq";
      cmd += r.Data;
      return true;
    case kReadMemoryBlock:
      if (r.Definition == nullptr) return false;
      cmd += 'N';
      AppendWord(cmd, static_cast<uint16_t>(r.Definition->Address));
      cmd.push_back(r.Definition->Size);
      return true;
    case kWriteBlockItem:
      if (r.Definition == nullptr) return false;
      return BlockItemCommand(*r.Definition, r.Index, r.Data, cmd);
    default:
      if (!IsSampleRead(r.Kind)) return false;
      cmd += "QN";
      cmd.push_back(static_cast<uint8_t>(r.Kind));
      AppendWord(cmd, static_cast<uint16_t>(r.Index));
      cmd.push_back(kSampleBlockLength);
      return true;
  }
}

}  // namespace

Str255 AssembleFrame(const GlobalSettings &global, Str255 body) {
  body.set(1, static_cast<uint8_t>(body.size() - 1));
  body.push_back(XorChecksum(body.view()));
  Str255 frame(global.Prefix);
  frame += body;
  frame += global.Suffix;
  return frame;
}

Str255 BuildRequestFrame(DriverInstance &di, const QueuedRequest &request) {
  // The record's run-time values are read under DataLock where the command
  // takes them; the record itself lives as long as the driver's stations.
  const Station *st = nullptr;
  if (request.Station >= 1 && request.Station <= di.StationCount) {
    MutexLock lock(di.DataLock);
    st = di.StationAt(request.Station);
  }
  Str255 frame;
  Str255 command;
  if (st != nullptr && BuildCommand(di, *st, request, command)) {
    const GlobalSettings &g = di.Global;
    Str255 body;
    body.push_back(st->Retranslation);
    body.push_back(0);  // LEN, set by AssembleFrame
    body += 'Y';
    body.push_back(g.Address);
    body.push_back(st->Address);
    body.push_back(g.Address);
    body += command;
    body += g.PreSuffix;
    frame = AssembleFrame(g, body);
  }
  if (di.Log.Enabled()) {
    Str255 text("STadr:");
    text += PadDecimal(st != nullptr ? st->Address : 0, 3);
    text += " typ:";
    text += PadDecimal(static_cast<uint8_t>(request.Kind), 3);
    di.Debug("CodeMess", text);
  }
  return frame;
}

}  // namespace zl
