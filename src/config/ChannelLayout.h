// The channel layout: how a host channel number resolves to a QQ variable or to
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
#ifndef ZL_CONFIG_CHANNELLAYOUT_H
#define ZL_CONFIG_CHANNELLAYOUT_H

#include <cstdint>
#include <memory>
#include <type_traits>

#include "config/ParameterSet.h"
#include "config/StationConfig.h"

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

// The stations a layout reads: station n of 1..Count, through a lookup that
// the owner of the records provides (a ParameterSet, or the running driver's
// station slots). At answers nullptr out of range or for a missing record.
struct StationView {
  int Count = 0;
  const void *Source = nullptr;
  const StationConfig *(*Get)(const void *source, int n) = nullptr;

  const StationConfig *At(int n) const {
    return n >= 1 && n <= Count && Get ? Get(Source, n) : nullptr;
  }
};
StationView ViewOf(const ParameterSet &set);

// FindVariable: the station number of the first variable with the channel
// (0 when none has it) and the variable's place in that station's QqVariables.
struct VariableMatch {
  uint8_t StationNo = 0;
  uint32_t Position = 0;
};
VariableMatch FindVariable(const StationView &stations, uint16_t channel);

// ResolveStationChannel: StationNo is 0 when no station claims the channel.
// Position is the memory block's place in MemoryBlocks for the two memory
// block kinds.
struct StationMatch {
  uint8_t StationNo = 0;
  ChannelKind Kind = ChannelKind::None;
  uint8_t Item = 0;  // 1-based
  uint32_t Position = 0;
  bool IsBlock() const {
    return Kind == ChannelKind::MemoryBlockRead || Kind == ChannelKind::MemoryBlockItem;
  }
};
StationMatch ResolveStationChannel(const StationView &stations, uint16_t channel);

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

// Builds the index of the loaded configuration (stations 1..Count).
std::shared_ptr<const ChannelIndex> BuildChannelIndex(const StationView &stations);

}  // namespace zl

#endif  // ZL_CONFIG_CHANNELLAYOUT_H
