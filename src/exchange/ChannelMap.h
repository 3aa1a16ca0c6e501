// The channel map: how a host channel number resolves to a QQ variable or to
// an item of a station.
//
// A channel resolves, in this order, to
//   1. a QqVariable: the first variable (stations 1..StationCount, each list
//      in file order) whose CHANNEL equals it;
//   2. a fixed driver channel (decided by the input and output paths, which
//      know which call each one serves);
//   3. a station channel: the first station whose channels claim it, each
//      station tested in the order of StationTestOrder below;
//   4. a diagnostic channel 488..499 (input path only).
//
// The configuration never changes after the load, so Init builds a
// ChannelIndex once: one compact entry per channel number that answers classes
// 1 and 3 in constant time. FindVariable and ResolveStationChannel walk the
// tables literally; they are the reference the index is checked against.
#ifndef ZL_EXCHANGE_CHANNELMAP_H
#define ZL_EXCHANGE_CHANNELMAP_H

#include <cstdint>
#include <memory>
#include <type_traits>

#include "config/Station.h"
#include "driver/DriverInstance.h"

namespace zl {

// What a station channel stands for, in the order in which a station's
// channels are tested. Ranges first (item = channel - base + 1), then the
// single channels (item 1), the Video texts (items 1..4), the name and call
// code, and per memory block its read channel, then its item range.
enum class ChannelKind : uint8_t {
  None = 0,
  BinaryInput,          // CHANNEL_BI .. + NUM_BINAR_IN - 1
  BinaryOutput,         // CHANNEL_BO
  AnalogInput,          // CHANNEL_AI
  Counter,              // CHANNEL_CT
  MemoryOutput,         // CHANNEL_MO (tested before MI: an overlap is an output)
  MemoryInput,          // CHANNEL_MI
  ErrorCounter,         // ErrorNoAnswer
  MessageCounter,       // MsgCounter
  ErrorInMessage,       // ErrorInMess
  SilenceTime,          // SilenceTime
  SleepTime,            // SleepTime
  ErrCount,             // ErrCount
  VideoText,            // Video .. Video + 3
  ReadAnalogKelmar,     // out_read_AItolvin
  ReadCounters,         // out_read_CT
  WriteBinaryOutputs,   // out_write_BO
  WriteMemoryOutput,    // out_write_MO (carries nothing)
  FlagBusy,             // in_now_comm
  FlagFault,            // in_last_com_err
  FlagNewBinaryInputs,  // bi_new_BI
  FlagNewAnalogInputs,  // bi_new_AI
  FlagNewCounters,      // bi_new_CT
  FlagNewMemory,        // bi_new_MI
  FlagControlError,     // bi_new_err_control
  WriteRestart,         // out_write_restart (carries nothing)
  ReadBinaryInputs,     // out_read_BI
  ReadMemoryInputs,     // out_read_KI
  WriteMemoryOutputs,   // out_write_KO
  ReadAnalogZavro,      // out_read_AI
  ConnectModem,         // out_connect_modem
  FlagConnecting,       // in_connecting_modem
  FlagConnected,        // in_connected_modem
  FlagActiveMessage,    // in_active_message
  WriteAllOutputs,      // out_write_all_BO_MO
  StationName,          // name_channel
  CallCode,             // CallCode
  MemoryBlockRead,      // a block's CHANNEL_READ
  MemoryBlockItem,      // a block's CHANNEL .. CHANNEL + item count - 1
};

// FindVariable: the variable and its station number; Variable is null when no
// variable has the channel.
struct VariableMatch {
  QqVariable *Variable = nullptr;
  uint8_t StationNo = 0;
};
VariableMatch FindVariable(DriverInstance &di, uint16_t channel);

// ResolveStationChannel: StationNo is 0 when no station claims the channel.
// Block is set for the two memory block kinds.
struct StationMatch {
  uint8_t StationNo = 0;
  ChannelKind Kind = ChannelKind::None;
  uint8_t Item = 0;  // 1-based
  MemoryBlock *Block = nullptr;
};
StationMatch ResolveStationChannel(DriverInstance &di, uint16_t channel);

// One channel of the index: 8 bytes, all zero for a channel nobody claims
// (trivial, so that a value-initialised index is one cleared block).
struct ChannelEntry {
  enum : uint8_t { kNone = 0, kVariable = 1, kStation = 2 };
  uint8_t Class;
  uint8_t StationNo;
  ChannelKind Kind;
  uint8_t Item;
  uint32_t Position;  // variable's place in QqVariables, or block's in MemoryBlocks
};
static_assert(sizeof(ChannelEntry) == 8 && std::is_trivial_v<ChannelEntry>);

struct ChannelIndex {
  ChannelEntry Entries[65536];
};

// Builds the index of the loaded configuration (stations 1..StationCount).
std::shared_ptr<const ChannelIndex> BuildChannelIndex(const DriverInstance &di);

// What a channel resolves to through di.Channels, with the records it names.
// Class is kNone when there is no index yet (no successful Init), or when the
// entry names a record that no longer exists.
struct ChannelTarget {
  uint8_t Class = ChannelEntry::kNone;
  uint8_t StationNo = 0;
  Station *St = nullptr;
  QqVariable *Variable = nullptr;  // kVariable
  ChannelKind Kind = ChannelKind::None;
  uint8_t Item = 0;
  MemoryBlock *Block = nullptr;  // the memory block kinds
};

// The one-byte status flag a flag kind stands for; null for other kinds.
uint8_t *StatusFlagOf(Station &st, ChannelKind kind);

// Constant time: one table read and a few bounds checks.
inline ChannelTarget LookupChannel(DriverInstance &di, const ChannelIndex &index,
                                   uint16_t channel) {
  const ChannelEntry e = index.Entries[channel];
  ChannelTarget t;
  if (e.Class == ChannelEntry::kNone || e.StationNo > di.StationCount) return t;
  Station *st = di.StationAt(e.StationNo);
  if (!st) return t;
  if (e.Class == ChannelEntry::kVariable) {
    if (e.Position >= st->QqVariables.size()) return t;
    t.Variable = &st->QqVariables[e.Position];
  } else if (e.Kind == ChannelKind::MemoryBlockRead || e.Kind == ChannelKind::MemoryBlockItem) {
    if (e.Position >= st->MemoryBlocks.size()) return t;
    t.Block = &st->MemoryBlocks[e.Position];
  }
  t.Class = e.Class;
  t.StationNo = e.StationNo;
  t.St = st;
  t.Kind = e.Kind;
  t.Item = e.Item;
  return t;
}

}  // namespace zl

#endif  // ZL_EXCHANGE_CHANNELMAP_H
