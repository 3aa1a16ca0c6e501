#include "exchange/InputPath.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "core/RequestQueues.h"
#include "exchange/ChannelMap.h"
#include "exchange/HostNotify.h"
#include "exchange/HostValueIo.h"
#include "exchange/VariableRequests.h"
#include "util/Encodings.h"

namespace zl {

namespace {

// Byte offset of value v (1..8) in a SampleRow: its 3-byte real follows the
// slot's length byte.
constexpr int ValueOffset(int v) {
  return 4 * v + 4;
}

void GetVariable(DriverInstance &di, const QqValue &var, HostValue &v) {
  MutexLock lock(di.DataLock);
  const auto number = static_cast<double>(var.Number);
  switch (v.type) {
    case kTypeBool:
      PutValue<uint8_t>(v, var.Number == 1.0f ? 1 : 0);
      break;
    case kTypeU8:
    case kTypeI8:
      PutValue(v, static_cast<uint8_t>(Truncate(number)));
      break;
    case kTypeU16:
    case kTypeI16:
      PutValue(v, static_cast<uint16_t>(Truncate(number)));
      break;
    case kTypeU32:
      PutValue(v, static_cast<uint32_t>(Truncate(number)));
      break;
    case kTypeI32:
      PutValue(v, var.Int);
      break;
    case kTypeSingle:
      PutValue(v, var.Number);
      break;
    case kTypeDouble:
      PutValue(v, number);
      break;
    case kTypeText:  // the 32 characters and the NUL after the length byte
      PutText(v, var.Text.data(), decltype(var.Text)::Capacity);
      break;
    default:
      break;
  }
}

// The driver channels that GetInput serves. Yes ends the call whatever the
// type; GoOn (the sample buffer descriptor) lets the station channels follow.
Served GetDriverChannel(DriverInstance &di, uint16_t channel, HostValue &v) {
  if (channel >= kChSampleRowByte && channel < kChSampleRowByte + 6) {
    MutexLock lock(di.Sample.Lock);
    const uint8_t *row = di.Sample.SelectedRow();
    if (v.type == kTypeU8 && row) PutValue(v, row[channel - kChSampleRowByte]);
    return Served::Yes;
  }
  if (channel >= kChSampleRowValue && channel < kChSampleRowValue + 8) {
    MutexLock lock(di.Sample.Lock);
    const uint8_t *row = di.Sample.SelectedRow();
    if (v.type == kTypeDouble && row) {
      const int offset = ValueOffset(channel - kChSampleRowValue + 1);
      PutValue(v, DecodeReal3(std::string_view(reinterpret_cast<const char *>(row + offset), 3)));
    }
    return Served::Yes;
  }
  if (channel >= kChSampleRowBit && channel < kChSampleRowBit + 192) {
    MutexLock lock(di.Sample.Lock);
    const uint8_t *row = di.Sample.SelectedRow();
    if (v.type == kTypeBool && row) {
      const int j = channel - kChSampleRowBit;
      const uint8_t stored = row[ValueOffset(j / 24 + 1) + (j % 24) / 8];
      PutValue<uint8_t>(v, TestBit(stored, j % 8) ? 1 : 0);
    }
    return Served::Yes;
  }
  switch (channel) {
    case kChSampleBusy:
    case kChSampleFileWritten:
      if (v.type == kTypeBool) {
        MutexLock lock(di.Sample.Lock);
        PutValue(v, channel == kChSampleBusy ? di.Sample.Busy : di.Sample.FileWritten);
      }
      return Served::Yes;
    case kChSampleBuffer:
      if (v.type == kTypeBuffer) {
        uintptr_t address;
        {
          MutexLock lock(di.Sample.Lock);
          address = reinterpret_cast<uintptr_t>(di.Sample.BufferAddress);
        }
        const uint8_t descriptor[7] = {9,
                                       66,
                                       0,
                                       static_cast<uint8_t>(address),
                                       static_cast<uint8_t>(address >> 8),
                                       static_cast<uint8_t>(address >> 16),
                                       static_cast<uint8_t>(address >> 24)};
        std::memcpy(v.value, descriptor, sizeof descriptor);
      }
      return Served::GoOn;
    case kChForceValue:
    case kChForceChannel:
      if (v.type == kTypeDouble) {
        MutexLock lock(di.DataLock);
        PutValue(v, channel == kChForceValue ? FromReal6(di.ForceValue)
                                             : static_cast<double>(di.ForceChannel));
      }
      return Served::Yes;
    case kChForceEnable:
      if (v.type == kTypeBool) {
        MutexLock lock(di.DataLock);
        PutValue(v, di.ForceEnable);
      }
      return Served::Yes;
    default:
      return Served::No;
  }
}

void GetBlockItem(const MemoryBlock &block, const BlockValues &values, int item, HostValue &v) {
  if (item < 1 || static_cast<std::size_t>(item) > block.ItemCount()) return;
  const uint8_t type = block.ItemTypes[static_cast<std::size_t>(item - 1)];
  if (v.type != ValueTypeOfBlockItem(type)) return;
  const ShortStr<4> &slot = values[static_cast<std::size_t>(item - 1)];
  if (type == kBlkReal) {
    PutValue(v, DecodeReal3(slot.view()));
  } else {
    std::memcpy(v.value, slot.data(), BlockItemSize(type));  // raw, as the controller sent it
  }
}

// A double for the kinds whose value is a number; false for the others.
bool StationNumber(const Station &st, ChannelKind kind, int i, double &x) {
  switch (kind) {
    case ChannelKind::AnalogInput:
      if (i > kMaxAnalogIn) return false;
      x = FromReal6(st.AnalogIn[i]);
      return true;
    case ChannelKind::Counter:
      if (i > kMaxCounters) return false;
      x = FromReal6(st.CounterValues[i]);
      return true;
    case ChannelKind::MemoryOutput:
      if (i > kMemoryListSize) return false;
      x = FromReal6(st.MemoryOutValues[i]);
      return true;
    case ChannelKind::MemoryInput:
      if (i > kMemoryListSize) return false;
      x = FromReal6(st.MemoryInValues[i]);
      return true;
    case ChannelKind::ErrorCounter:
      x = st.TimeoutTotal;
      return true;
    case ChannelKind::MessageCounter:
      x = st.RequestCount;
      return true;
    case ChannelKind::ErrorInMessage:
      x = st.ErrorItemCount;
      return true;
    case ChannelKind::SilenceTime:
      x = FromReal6(st.SecondsSinceAnswer);
      return true;
    case ChannelKind::SleepTime:
      x = FromReal6(st.SleepRemaining);
      return true;
    case ChannelKind::ErrCount:
      x = st.TimeoutRun;
      return true;
    default:
      return false;
  }
}

void GetStationValue(DriverInstance &di, const ChannelTarget &t, HostValue &v) {
  Station &st = *t.St;
  const int i = t.Item;
  if (i < 1) return;
  MutexLock lock(di.DataLock);
  switch (t.Kind) {
    case ChannelKind::BinaryInput:
      if (v.type == kTypeBool && i <= kMaxBinaryIn)
        PutValue<uint8_t>(v, st.BinaryIn[i - 1] ^ (st.BinarInXor[i] ? 1 : 0));
      return;
    case ChannelKind::BinaryOutput:
      if (v.type == kTypeBool && i <= kMaxBinaryOut) PutValue(v, st.BinaryOut[i - 1]);
      return;
    case ChannelKind::VideoText:
      if (v.type == kTypeText && i <= 4) PutText(v, st.TextLines[i - 1], sizeof st.TextLines[0]);
      return;
    case ChannelKind::StationName:
      if (v.type == kTypeText) {
        char name[81] = {};  // the characters, a NUL, zeros after it
        std::memcpy(name, st.Name.data(), st.Name.size());
        PutText(v, name, sizeof name);
      }
      return;
    case ChannelKind::CallCode:
      if (v.type == kTypeU32) PutValue(v, st.RuntimeValue);
      return;
    case ChannelKind::MemoryBlockItem:
      if (t.Block) GetBlockItem(*t.Block, *t.BlockItems, i, v);
      return;
    default:
      break;
  }
  if (const uint8_t *flag = StatusFlagOf(st, t.Kind)) {
    if (v.type == kTypeBool) PutValue(v, *flag);
    return;
  }
  double x;
  if (v.type == kTypeDouble && StationNumber(st, t.Kind, i, x)) PutValue(v, x);
}

void GetDiagnostic(DriverInstance &di, uint16_t channel, HostValue &v) {
  if (channel < kChFirstDiagnostic || channel > kChLastDiagnostic) return;
  if (channel == kChHeapBytes) {
    if (v.type == kTypeI32) PutValue(v, HeapBytesInUse());
    return;
  }
  if (v.type != kTypeDouble) return;
  double x = 0.0;
  switch (channel) {
    case 488:
      x = di.Client && di.Client->Connected() ? 1.0 : 0.0;
      break;
    case 490:
      x = static_cast<double>(di.Queues.Count(QueueId::Secondary) +
                              di.Queues.Count(QueueId::Primary));
      break;
    case 492:
      break;
    case 495:
      x = di.Line.CycleState.load(std::memory_order_relaxed);
      break;
    case 497:
      x = static_cast<double>(di.Queues.Count(QueueId::Primary));
      break;
    default: {
      const PollingState &cycle = di.Polling;
      MutexLock lock(cycle.Lock);
      switch (channel) {
        case 489:
          x = FromReal6(cycle.SecondsSinceAnswer);
          break;
        case 491:
          x = cycle.CurrentKind;
          break;
        case 493:
          x = FromReal6(cycle.PrefixCount);
          break;
        case 494:
          x = cycle.CurrentStation;
          break;
        case 498:
          x = FromReal6(cycle.MessageCount);
          break;
        case 499:
          x = FromReal6(cycle.SecondsSinceTransmit);
          break;
        default:
          break;
      }
    }
  }
  PutValue(v, x);
}

}  // namespace

int32_t HeapBytesInUse() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
  // mallinfo2 walks the allocator's free lists: hundreds of nanoseconds, more
  // as the heap fragments, on every GetInput of the channel. A host that reads
  // it in every scan gets a figure at most kFresh old instead.
  using Clock = std::chrono::steady_clock;
  constexpr int64_t kFresh = std::chrono::nanoseconds(std::chrono::milliseconds(100)).count();
  static std::atomic<int64_t> takenAt{0};  // clock reading of the figure; 0: none yet
  static std::atomic<int32_t> figure{0};
  const int64_t now = std::chrono::nanoseconds(Clock::now().time_since_epoch()).count();
  const int64_t at = takenAt.load(std::memory_order_acquire);
  if (at != 0 && now - at < kFresh) return figure.load(std::memory_order_relaxed);
  const struct mallinfo2 info = mallinfo2();
  const std::size_t total = info.uordblks + info.hblkhd;  // in small chunks and in mapped ones
  const int32_t bytes = total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
  figure.store(bytes, std::memory_order_relaxed);
  takenAt.store(now, std::memory_order_release);
  return bytes;
#else
  return 0;
#endif
}

void InputRequest(DriverInstance &di, uint16_t channel) {
  const ChannelIndex *index = di.Channels.get();
  if (!index) return;
  const ChannelTarget t = LookupChannel(di, *index, channel);
  if (t.Class != ChannelEntry::kVariable) return;
  const QqVariable &var = *t.Variable;
  bool sleeping;
  {
    MutexLock lock(di.DataLock);
    if (di.ReadSuspended & 1) return;
    sleeping = FromReal6(t.St->SleepRemaining) != 0.0;
  }
  if (var.Direction != kQqRead && var.Direction != kQqBidir) return;
  if (!sleeping &&
      !di.Queues.QqReadPending(t.StationNo, var.Address[0], var.Address[1], var.Address[2]))
    QueueVariableRequest(di, var, *t.Value, t.StationNo, VariableRequest::Read);
  WakeThread(di);
}

void GetInput(DriverInstance &di, uint16_t channel, HostValue &value) {
  const ChannelIndex *index = di.Channels.get();
  if (!index) return;
  const ChannelTarget t = LookupChannel(di, *index, channel);
  if (t.Class == ChannelEntry::kVariable) {
    GetVariable(di, *t.Value, value);
    return;
  }
  if (GetDriverChannel(di, channel, value) == Served::Yes) return;
  if (t.Class == ChannelEntry::kStation) {
    GetStationValue(di, t, value);
    return;
  }
  GetDiagnostic(di, channel, value);
}

}  // namespace zl
