#include "exchange/OutputPath.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "core/RequestQueues.h"
#include "exchange/ChannelMap.h"
#include "exchange/HostNotify.h"
#include "exchange/HostValueIo.h"
#include "exchange/SampleMemory.h"
#include "exchange/VariableRequests.h"
#include "util/Encodings.h"
#include "util/Texts.h"

namespace zl {

namespace {

std::string StationLine(const Station &st, std::string_view text) {
  std::string line(st.Name.view());
  line += text;
  return line;
}

// A double rounded to single precision as IEEE does it: a magnitude beyond
// the largest single becomes that largest single or an infinity.
float ToSingle(double d) {
  if (std::isfinite(d) && std::fabs(d) > FLT_MAX) {
    const double halfwayToInfinity = std::ldexp(2.0 - std::ldexp(1.0, -24), 127);
    return static_cast<float>(
        std::copysign(std::fabs(d) >= halfwayToInfinity ? HUGE_VAL : FLT_MAX, d));
  }
  return static_cast<float>(d);
}

// A double truncated toward zero, low 32 bits.
int32_t Truncate32(double d) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(Truncate(d))));
}

// --- QQ variables

void WriteVariable(DriverInstance &di, const ChannelTarget &t, uint32_t type, uint64_t value) {
  const QqVariable &var = *t.Variable;
  QqValue &stored = *t.Value;
  float number;
  {
    MutexLock lock(di.DataLock);
    switch (type) {
      case kTypeBool:
      case kTypeI8:
        stored.Number = static_cast<int8_t>(ArgByte(value));
        break;
      case kTypeU8:
        stored.Number = ArgByte(value);
        break;
      case kTypeU16:
        stored.Number = ArgWord(value);
        break;
      case kTypeU32:
        stored.Number = static_cast<float>(ArgLong(value));
        break;
      case kTypeI16:
        stored.Number = static_cast<int16_t>(ArgWord(value));
        break;
      case kTypeI32:
        stored.Int = static_cast<int32_t>(ArgLong(value));
        break;
      case kTypeSingle:
        stored.Number = std::bit_cast<float>(ArgLong(value));
        break;
      case kTypeDouble:
        stored.Number = ToSingle(ArgDouble(value));
        break;
      default:
        return;
    }
    number = stored.Number;
  }
  std::string line = StationLine(*t.St, " - QQ[");
  line += HexByte(var.Address[0]).view();
  line += '.';
  line += HexByte(var.Address[1]).view();
  line += '.';
  line += HexByte(var.Address[2]).view();
  line += "]=";
  line += FormatReal(number, 1, 2).view();
  AddEventLine(di, line);
  QueueVariableRequest(di, var, stored, t.StationNo, VariableRequest::Write);
  WakeThread(di);
}

// --- driver channels

void ClearBothQueues(DriverInstance &di) {
  di.Queues.Clear(QueueId::Secondary);
  di.Queues.Clear(QueueId::Primary);
}

// The client's receive store, then the reception's prefix window and message
// buffer.
void ClearReception(DriverInstance &di) {
  if (di.Client) di.Client->ClearReceived();
  MutexLock lock(di.Polling.Lock);
  di.Polling.ResetReception();
}

void SetCycleIdle(DriverInstance &di) {
  di.Line.CycleState.store(0);
}

void ResetQueuesAndReception(DriverInstance &di) {
  ClearBothQueues(di);
  ClearReception(di);
  SetCycleIdle(di);
  MutexLock lock(di.Polling.Lock);
  di.Polling.LastRequestFrame.clear();
}

void SetForceEnable(DriverInstance &di, uint32_t type, uint64_t value) {
  uint8_t enable;
  uint16_t channel;
  Real6 forced;
  {
    MutexLock lock(di.DataLock);
    if (type == kTypeBool) di.ForceEnable = ArgByte(value);
    enable = di.ForceEnable;
    channel = di.ForceChannel;
    forced = di.ForceValue;
  }
  if (enable != 0) ForceInput(di, channel, forced);
}

// Sets a one-byte field of the driver, or of a station, under DataLock.
void SetByte(DriverInstance &di, uint8_t DriverInstance::*field, uint8_t value) {
  MutexLock lock(di.DataLock);
  di.*field = value;
}
void SetByte(DriverInstance &di, uint8_t &stationField, uint8_t value) {
  MutexLock lock(di.DataLock);
  stationField = value;
}
// Sets a one-byte field of the sample state under its own lock.
void SetSampleByte(SampleState &sample, uint8_t SampleState::*field, uint8_t value) {
  MutexLock lock(sample.Lock);
  sample.*field = value;
}

Served OutputDriverChannel(DriverInstance &di, uint16_t channel, uint32_t type, uint64_t value) {
  const uint8_t byte = ArgByte(value);
  switch (channel) {
    case kChReadSuspended:
      if (type == kTypeBool) SetByte(di, &DriverInstance::ReadSuspended, byte);
      return Served::GoOn;
    case kChSampleStation:
      if (type == kTypeU8) SetSampleByte(di.Sample, &SampleState::StationNumber, byte);
      return Served::Yes;
    case kChSampleBlock:
      if (type == kTypeU8)
        SetSampleByte(di.Sample, &SampleState::Block, byte == 0 || byte > 3 ? 1 : byte);
      return Served::Yes;
    case kChSampleRowIndex:
      if (type == kTypeU16) {
        const uint16_t row = ArgWord(value);
        MutexLock lock(di.Sample.Lock);
        di.Sample.RowIndex = row == 0 || row > kSampleRows ? 1 : row;
      }
      return Served::Yes;
    case kChStartSampleTransfer:
      if (type == kTypeBool) {
        ClearSampleTable(di);
        StartSampleTransfer(di);
      }
      return Served::Yes;
    case kChWriteSampleFile:
      if (type == kTypeBool) WriteSampleFile(di);
      return Served::Yes;
    case kChSampleFileWrittenFlag:
      if (type == kTypeBool) SetSampleByte(di.Sample, &SampleState::FileWritten, byte);
      return Served::Yes;
    case kChSampleAltKinds:
      if (type == kTypeBool) SetSampleByte(di.Sample, &SampleState::AltKinds, byte);
      return Served::Yes;
    case kChResetQueues:
      if (type == kTypeBool) ResetQueuesAndReception(di);
      return Served::Yes;
    case kChForceValueIn:
      if (type == kTypeDouble) {
        MutexLock lock(di.DataLock);
        di.ForceValue = ToReal6(ArgDouble(value));
      }
      return Served::Yes;
    case kChForceChannelIn:
      if (type == kTypeDouble) {
        MutexLock lock(di.DataLock);
        di.ForceChannel = static_cast<uint16_t>(Truncate(ArgDouble(value)));
      }
      return Served::Yes;
    case kChForceEnableIn:
      SetForceEnable(di, type, value);  // forces with any type
      return Served::Yes;
    default:
      return Served::No;
  }
}

// --- station channels

// A command that queues one request (index 1) for the station, then tells the
// event list and wakes the thread.
void QueueCommand(DriverInstance &di, const ChannelTarget &t, QueueId queue, uint8_t kind,
                  std::string_view text, const MemoryBlock *block = nullptr) {
  di.Queues.Enqueue(queue, t.StationNo, kind, 1, {}, block);
  AddEventLine(di, StationLine(*t.St, text));
  WakeThread(di);
}

bool StationOnline(DriverInstance &di, const Station &st) {
  MutexLock lock(di.DataLock);
  return st.Online != 0;
}

void WriteBinaryOutput(DriverInstance &di, const ChannelTarget &t, uint8_t byte) {
  Station &st = *t.St;
  const int i = t.Item;
  if (i > kMaxBinaryOut) return;
  {
    MutexLock lock(di.DataLock);
    if (st.BinaryOut[i - 1] == byte) return;
    st.BinaryOut[i - 1] = byte;
  }
  AddEventLine(di, StationLine(st, " - BO" + std::to_string(i) + "=" +
                                       std::to_string(static_cast<int8_t>(byte))));
  if (st.Phone.empty()) {
    di.Queues.Enqueue(QueueId::Primary, t.StationNo, kWriteBinaryOutputs, 1);
    WakeThread(di);
  }
}

void WriteMemoryOutput(DriverInstance &di, const ChannelTarget &t, double value) {
  Station &st = *t.St;
  const int i = t.Item;
  if (i > kMemoryListSize) return;
  Real6 stored;
  bool online;
  {
    MutexLock lock(di.DataLock);
    if (FromReal6(st.MemoryOutValues[i]) == value) return;  // compared before rounding
    stored = st.MemoryOutValues[i] = ToReal6(value);
    online = st.Online != 0;
  }
  AddEventLine(di, StationLine(st, " - MO" + std::to_string(i) + "=" +
                                       FormatReal(FromReal6(stored), 1, 2).str()));
  if (online) {
    di.Queues.Enqueue(QueueId::Primary, t.StationNo, kWriteMemoryOutput, static_cast<int16_t>(i));
    WakeThread(di);
  }
}

// ErrorNoAnswer and MsgCounter: the counter := the value truncated, reported
// with the value stored.
void SetStationCounter(DriverInstance &di, const Station &st, int32_t &counter, double value,
                       const std::string &text) {
  int32_t stored;
  {
    MutexLock lock(di.DataLock);
    stored = counter = Truncate32(value);
  }
  AddEventLine(di, StationLine(st, text + std::to_string(stored)));
}

void ReadMemoryInputs(DriverInstance &di, const ChannelTarget &t) {
  const Station &st = *t.St;
  if (st.DialFlag) {
    QueueCommand(di, t, QueueId::Secondary, kReadMemoryOutputs, " - KI");
    return;
  }
  if (st.MemoryInBlockRead) {
    di.Queues.Enqueue(QueueId::Secondary, t.StationNo, kReadMemoryInput, 1);
  } else {
    for (int i = 1; i <= st.NumMemoryIn; ++i)
      di.Queues.Enqueue(QueueId::Secondary, t.StationNo, kReadMemoryInput, static_cast<int16_t>(i));
  }
  char count[8];
  std::snprintf(count, sizeof count, "%2u", static_cast<unsigned>(st.NumMemoryIn));
  AddEventLine(di, StationLine(st, std::string(" - ") + count + " x MI"));
  WakeThread(di);
}

void WriteAllOutputs(DriverInstance &di, const ChannelTarget &t) {
  const Station &st = *t.St;
  if (!StationOnline(di, st)) return;
  if (st.NumBinarOut != 0) {
    di.Queues.Enqueue(QueueId::Primary, t.StationNo, kWriteBinaryOutputs, 1);
    WakeThread(di);
  }
  for (int i = 1; i <= st.NumMemoryOut; ++i) {
    di.Queues.Enqueue(QueueId::Primary, t.StationNo, kWriteMemoryOutput, static_cast<int16_t>(i));
    WakeThread(di);
  }
  di.Debug(std::string("Stanice no.") + PadDecimal(t.StationNo, 3).str(), "reinit BO+MO");
}

void Connect(DriverInstance &di, const ChannelTarget &t) {
  Station &st = *t.St;
  AddEventLine(di, Say(TextId::TcpInit));
  {
    MutexLock lock(di.Polling.Lock);
    di.Polling.SecondsSinceAnswer = Real6();
  }
  SetCycleIdle(di);
  di.Line.LineTag.store(222);
  ClearReception(di);
  if (di.Client) {
    di.Client->SetEndpoint(st.Ip.str(), st.Port);
    di.Client->Connect();
  }
  {
    MutexLock lock(di.DataLock);
    st.ConnectRequested = 1;
    st.Fault = 0;
  }
  di.StationOnline.store(0);
  WakeThread(di);
}

void Disconnect(DriverInstance &di) {
  ClearBothQueues(di);
  ClearReception(di);
  SetCycleIdle(di);
  Station *requested = nullptr;  // the highest-numbered station that asked to connect
  {
    MutexLock lock(di.DataLock);
    for (int n = di.StationCount; n >= 1 && !requested; --n) {
      Station *st = di.StationAt(n);
      if (st && st->ConnectRequested) requested = st;
    }
  }
  if (di.Client) di.Client->Disconnect();
  di.Debug("close", "communication !!!!");
  {
    MutexLock lock(di.DataLock);
    for (int n = 1; n <= di.StationCount; ++n) {
      if (Station *st = di.StationAt(n)) st->Online = st->ConnectRequested = st->Busy = 0;
    }
  }
  di.StationOnline.store(0);
  WakeThread(di);
  if (requested) {
    MutexLock lock(di.DataLock);
    requested->ConnectRequested = 0;
    requested->Online = 0;
  }
}

void ConnectModem(DriverInstance &di, const ChannelTarget &t, uint32_t type, uint64_t value) {
  ClearBothQueues(di);
  if (type != kTypeBool) return;
  if (ArgByte(value) != 0) {
    Connect(di, t);
  } else {
    Disconnect(di);
  }
}

void WriteBlockItem(DriverInstance &di, const ChannelTarget &t, uint32_t type, uint64_t value) {
  const MemoryBlock &block = *t.Block;
  const int i = t.Item;
  if (i < 1 || static_cast<std::size_t>(i) > block.ItemCount()) return;
  const uint8_t itemType = block.ItemTypes[static_cast<std::size_t>(i - 1)];
  const uint8_t direction = block.ItemDirections[static_cast<std::size_t>(i - 1)];
  if (direction != kBlkOutput && direction != kBlkBidir) return;
  std::string data;
  bool online;
  {
    MutexLock lock(di.DataLock);
    ShortStr<4> &slot = (*t.BlockItems)[static_cast<std::size_t>(i - 1)];
    if (type == ValueTypeOfBlockItem(itemType)) {
      if (itemType == kBlkReal) {
        slot.assign(EncodeReal3(FromReal6(ToReal6(ArgDouble(value)))).view());
      } else {
        std::memcpy(slot.data(), &value, BlockItemSize(itemType));  // after the length byte
      }
    }
    data = slot.str();
    online = t.St->Online != 0;
  }
  if (BlockItemSize(itemType) != 0 && online) {
    di.Queues.Enqueue(QueueId::Primary, t.StationNo, kWriteBlockItem, static_cast<int16_t>(i), data,
                      &block);
  }
  WakeThread(di);
}

void OutputStation(DriverInstance &di, const ChannelTarget &t, uint32_t type, uint64_t value) {
  Station &st = *t.St;
  using K = ChannelKind;
  const bool isBool = type == kTypeBool;
  const bool isDouble = type == kTypeDouble;
  switch (t.Kind) {
    case K::BinaryOutput:
      if (isBool) WriteBinaryOutput(di, t, ArgByte(value));
      return;
    case K::MemoryOutput:
      if (isDouble) WriteMemoryOutput(di, t, ArgDouble(value));
      return;
    case K::Counter:
      if (isDouble && t.Item <= kMaxCounters) {
        MutexLock lock(di.DataLock);
        st.CounterValues[t.Item] = ToReal6(ArgDouble(value));
      }
      return;
    case K::ErrorCounter:
      if (isDouble)
        SetStationCounter(di, st, st.TimeoutTotal, ArgDouble(value), Say(TextId::SetErrorCounter));
      return;
    case K::MessageCounter:
      if (isDouble)
        SetStationCounter(di, st, st.RequestCount, ArgDouble(value),
                          Say(TextId::SetMessageCounter));
      return;
    case K::CallCode:
      if (type == kTypeU32) {
        {
          MutexLock lock(di.DataLock);
          st.RuntimeValue = ArgLong(value);
        }
        AddEventLine(di,
                     StationLine(st, Say(TextId::SetCallCode) + std::to_string(ArgLong(value))));
      }
      return;
    case K::FlagNewBinaryInputs:
    case K::FlagNewAnalogInputs:
    case K::FlagNewCounters:
    case K::FlagNewMemory:
    case K::FlagControlError:
    case K::FlagActiveMessage:
      if (isBool) SetByte(di, *StatusFlagOf(st, t.Kind), ArgByte(value));
      return;
    case K::ReadBinaryInputs:
      if (isBool) QueueCommand(di, t, QueueId::Secondary, kReadBinaryInputs, " - BI");
      return;
    case K::ReadAnalogZavro:
      if (isBool) QueueCommand(di, t, QueueId::Secondary, kReadAnalogBlock, " - AI zavro");
      return;
    case K::ReadCounters:
      if (isBool) QueueCommand(di, t, QueueId::Secondary, kReadCounters, " - CT");
      return;
    case K::ReadAnalogKelmar:
      if (isBool) QueueCommand(di, t, QueueId::Secondary, kReadAnalogInputs, " - AI kelmar");
      return;
    case K::ReadMemoryInputs:
      if (isBool) ReadMemoryInputs(di, t);
      return;
    case K::WriteBinaryOutputs:
      if (isBool) QueueCommand(di, t, QueueId::Primary, kWriteBinaryOutputs, " - BO");
      return;
    case K::WriteMemoryOutputs:
      if (isBool) QueueCommand(di, t, QueueId::Primary, kWriteMemoryOutputs, " - KO");
      return;
    case K::WriteAllOutputs:
      if (isBool) WriteAllOutputs(di, t);
      return;
    case K::ConnectModem:
      ConnectModem(di, t, type, value);
      return;
    case K::MemoryBlockRead:
      if (isBool && t.Block)
        QueueCommand(di, t, QueueId::Secondary, kReadMemoryBlock, Say(TextId::ReadMemoryBlock),
                     t.Block);
      return;
    case K::MemoryBlockItem:
      if (t.Block) WriteBlockItem(di, t, type, value);
      return;
    default:
      return;  // inputs, texts, the name and the flags the cycle owns
  }
}

}  // namespace

void ForceInput(DriverInstance &di, uint16_t channel, const Real6 &value) {
  const int s = channel / 500 + 1;
  const int n = channel % 500;
  MutexLock lock(di.DataLock);
  Station *st = s <= di.StationCount ? di.StationAt(s) : nullptr;
  if (!st) return;
  if (n >= 1 && n <= kMaxBinaryIn) {
    st->BinaryIn[n - 1] = FromReal6(value) != 0.0 ? 1 : 0;
  } else if (n >= 193 && n <= 192 + kMaxAnalogIn) {
    st->AnalogIn[n - 192] = value;
  }
}

void OutputRequest(DriverInstance &di, uint16_t channel, uint32_t type, uint64_t value) {
  const ChannelIndex *index = di.Channels.get();
  if (!index) return;
  const ChannelTarget t = LookupChannel(di, *index, channel);
  if (t.Class == ChannelEntry::kVariable) {
    WriteVariable(di, t, type, value);
    return;
  }
  if (OutputDriverChannel(di, channel, type, value) == Served::Yes) return;
  if (t.Class == ChannelEntry::kStation) OutputStation(di, t, type, value);
}

}  // namespace zl
