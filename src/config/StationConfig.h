// The configuration of the controllers on the ZL2 line: the limits of a
// station, its element records and the station record a [STATION] section
// fills.
#ifndef ZL_CONFIG_STATIONCONFIG_H
#define ZL_CONFIG_STATIONCONFIG_H

#include <cstdint>
#include <string_view>
#include <vector>

#include "util/Real6.h"
#include "util/Text.h"
#include "zlnetdrv.h"

namespace zl {

constexpr int kMaxStations = 100;
constexpr int kMaxBinaryIn = 96;
constexpr int kMaxBinaryOut = 96;
constexpr int kMaxAnalogIn = 64;
constexpr int kMaxCounters = 48;
constexpr int kMaxMemoryIn = 45;
constexpr int kMaxMemoryOut = 100;
constexpr int kMemoryListSize = 100;

// Item types of memory lists: 1 BYTE, 2 WORD, 3 REAL (the number is also the size).
enum MemoryItemType : uint8_t { kMemByte = 1, kMemWord = 2, kMemReal = 3 };

struct MemoryItemDef {
  uint16_t Address = 0;
  uint8_t Type = kMemReal;
};

struct AnalogLimit {
  Real6 High;    // engineering value at the top of the raw range
  Real6 Low;     // engineering value at raw 0
  Real6 Offset;  // added to the raw reading before scaling
};

// Counter kinds: 1 REAL, 2 HOUR, 3 SHIFT, 4 DAY, 5 WEEKEND, 6 MONTH, 7 QUARTER, 8 YEAR.
struct CounterDef {
  Real6 StartValue;
  Real6 Factor;
  uint8_t Kind = 1;
};

// QQ variable directions and types.
enum QqDirection : uint8_t { kQqRead = 1, kQqWrite = 2, kQqBidir = 3 };
enum QqType : uint8_t {
  kQqByte = 1,
  kQqWord = 2,
  kQqInteger = 3,
  kQqCardinal = 4,
  kQqLongint = 5,
  kQqReal = 6,
  kQqString = 7
};

struct QqVariable {
  uint16_t Channel = 0;
  uint8_t Direction = kQqRead;
  uint8_t Address[3] = {0, 0, 0};
  uint8_t Type = kQqByte;
};

// Memory block item types (the number is the code kept in ItemTypes) and sizes.
enum BlockItemType : uint8_t {
  kBlkByte = 1,
  kBlkWord = 2,
  kBlkInteger = 3,
  kBlkCardinal = 4,
  kBlkLongint = 5,
  kBlkReal = 6
};
enum BlockItemDirection : uint8_t { kBlkInput = 1, kBlkOutput = 2, kBlkBidir = 3 };
// Size in bytes of a block item type 1..6; 0 for any other code.
constexpr uint8_t BlockItemSize(uint8_t type) {
  constexpr uint8_t sizes[7] = {0, 1, 2, 2, 4, 4, 3};
  return type <= 6 ? sizes[type] : 0;
}
// The host ValueType a block item type 1..6 is read and written in; 0 for any
// other code.
constexpr uint32_t ValueTypeOfBlockItem(uint8_t type) {
  constexpr uint32_t types[7] = {0,           ZL_TYPE_U8,  ZL_TYPE_U16,   ZL_TYPE_I16,
                                 ZL_TYPE_U32, ZL_TYPE_I32, ZL_TYPE_DOUBLE};
  return type <= 6 ? types[type] : 0;
}

struct MemoryBlock {
  int16_t Address = -1;       // ADDR; -1 means not given
  uint16_t FirstChannel = 0;  // CHANNEL: item k is FirstChannel + k - 1
  uint8_t Size = 0;           // sum of item sizes, modulo 256
  Str255 ItemTypes;           // one code per item, in file order
  Str255 ItemDirections;      // one code per item
  uint16_t ReadChannel = 0;   // CHANNEL_READ

  std::size_t ItemCount() const { return ItemTypes.size(); }
};

// The 27 status channels, in the order of their keywords in the [STATION]
// table (keywords 26..52).
enum StatusChannel : int {
  kErrorNoAnswer = 0,
  kErrorInMess,
  kSilenceTime,
  kSleepTime,
  kErrCount,
  kVideo,
  kOutReadAItolvin,
  kOutReadCT,
  kOutWriteBO,
  kOutWriteMO,
  kInNowComm,
  kInLastComErr,
  kBiNewBI,
  kBiNewAI,
  kBiNewCT,
  kBiNewMI,
  kBiNewErrControl,
  kOutWriteRestart,
  kOutReadBI,
  kOutReadKI,
  kOutWriteKO,
  kOutReadAI,
  kOutConnectModem,
  kInConnectingModem,
  kInConnectedModem,
  kInActiveMessage,
  kOutWriteAllBOMO,
  kStatusChannelCount
};

// Group channels, in the order BI, BO, AI, CT, MI, MO of the keywords.
enum GroupChannel : int {
  kGroupBI = 0,
  kGroupBO,
  kGroupAI,
  kGroupCT,
  kGroupMI,
  kGroupMO,
  kGroupCount
};

// The configuration of one controller on the ZL2 line, as a [STATION] section
// of the parameter file gives it. It never changes after the load.
struct StationConfig {
  uint8_t Address = 0;
  uint8_t Retranslation = 0;
  ShortStr<80> Name;
  uint8_t NumBinarIn = 0;
  uint8_t NumBinarOut = 0;
  uint8_t NumAnalogIn = 0;
  uint8_t NumCounterIn = 0;
  uint8_t NumMemoryIn = 0;
  uint8_t NumMemoryOut = 0;
  bool BinarInXor[kMaxBinaryIn + 1] = {};        // 1..96: object n is inverted
  bool BinarOutXor[kMaxBinaryOut + 1] = {};      // 1..96
  uint16_t AnalogInAddr = 0;                     // DEF_ANALOG_IN_ADDR
  MemoryItemDef MemoryIn[kMemoryListSize + 1];   // entries 1..100
  MemoryItemDef MemoryOut[kMemoryListSize + 1];  // entries 1..100
  bool MemoryInBlockRead = false;                // ARRAY in DEF_MEMORY_IN

  CounterDef Counters[kMaxCounters + 1];       // 1..48
  AnalogLimit AnalogLimits[kMaxAnalogIn + 1];  // 1..64

  ShortStr<20> Phone;
  bool DialFlag = false;

  std::vector<QqVariable> QqVariables;    // in file order
  std::vector<MemoryBlock> MemoryBlocks;  // in file order; never resized after the load

  // --- host channels (0 = no channel)
  uint16_t GroupChannels[kGroupCount] = {};
  uint16_t MsgCounterChannel = 0;
  uint16_t StatusChannels[kStatusChannelCount] = {};
  uint16_t NameChannel = 0;
  uint16_t CallCodeChannel = 0;

  // --- gateway endpoint
  uint16_t Port = 0;
  ShortStr<15> Ip;
  // The station sits behind the gateway at host:port.
  bool BehindGateway(std::string_view host, int port) const {
    return Ip.view() == host && Port == port;
  }
};

}  // namespace zl

#endif  // ZL_CONFIG_STATIONCONFIG_H
