// The channel map of the running driver: a channel's entry in the index
// (config/ChannelLayout.h) resolved to the run-time records it names.
#ifndef ZL_EXCHANGE_CHANNELMAP_H
#define ZL_EXCHANGE_CHANNELMAP_H

#include <cstdint>
#include <memory>

#include "config/ChannelLayout.h"
#include "core/DriverInstance.h"
#include "core/Station.h"

namespace zl {

// The driver's configured stations (1..StationCount) as a layout reads them.
StationView ConfiguredStations(const DriverInstance &di);

// The index of the driver's loaded configuration.
inline std::shared_ptr<const ChannelIndex> BuildChannelIndex(const DriverInstance &di) {
  return BuildChannelIndex(ConfiguredStations(di));
}

// What a channel resolves to through di.Channels, with the records it names:
// a QQ variable or a memory block is its configuration record and, beside it,
// its run-time values in the station (read and written under di.DataLock).
// Class is kNone when there is no index yet (no successful Init), or when the
// entry names a record that no longer exists.
struct ChannelTarget {
  uint8_t Class = ChannelEntry::kNone;
  uint8_t StationNo = 0;
  Station *St = nullptr;
  const QqVariable *Variable = nullptr;  // kVariable
  QqValue *Value = nullptr;              // kVariable: the variable's run-time value
  ChannelKind Kind = ChannelKind::None;
  uint8_t Item = 0;
  const MemoryBlock *Block = nullptr;  // the memory block kinds
  BlockValues *BlockItems = nullptr;   // the block's run-time item values
};

// The one-byte status flag a flag kind stands for; null for other kinds.
uint8_t *StatusFlagOf(Station &st, ChannelKind kind);

// Constant time: one table read and a few bounds checks.
inline ChannelTarget LookupChannel(DriverInstance &di, const ChannelIndex &index,
                                   uint16_t channel) {
  const ChannelEntry e = index.Entries[channel];
  ChannelTarget t;
  if (e.Class == ChannelEntry::kNone || e.StationNo > di.StationCount) return t;
  Station *st = di.StationAddress(e.StationNo);
  if (!st) return t;
  if (e.Class == ChannelEntry::kVariable) {
    if (e.Position >= st->QqVariables.size() || e.Position >= st->QqValues.size()) return t;
    t.Variable = &st->QqVariables[e.Position];
    t.Value = &st->QqValues[e.Position];
  } else if (e.Kind == ChannelKind::MemoryBlockRead || e.Kind == ChannelKind::MemoryBlockItem) {
    if (e.Position >= st->MemoryBlocks.size() || e.Position >= st->BlockItemValues.size()) return t;
    t.Block = &st->MemoryBlocks[e.Position];
    t.BlockItems = &st->BlockItemValues[e.Position];
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
