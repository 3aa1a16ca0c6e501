// The host's writes: OutputRequest stores a value or carries out a command on
// a channel; ForceInput sets a binary or analog input by the fixed channel
// numbering.
//
// OutputRequest does nothing until Init has loaded a configuration. Writes to
// station objects and most commands leave an event line naming the station;
// commands that queue requests wake the communication thread.
#ifndef ZL_EXCHANGE_OUTPUTPATH_H
#define ZL_EXCHANGE_OUTPUTPATH_H

#include <cstdint>

#include "util/Real6.h"

namespace zl {

struct DriverInstance;

// Driver channels of OutputRequest.
constexpr uint16_t kChReadSuspended = 487;
constexpr uint16_t kChSampleStation = 60000;
constexpr uint16_t kChSampleBlock = 60001;
constexpr uint16_t kChSampleRowIndex = 60002;
constexpr uint16_t kChStartSampleTransfer = 60003;
constexpr uint16_t kChWriteSampleFile = 60021;
constexpr uint16_t kChSampleFileWrittenFlag = 60022;
constexpr uint16_t kChSampleAltKinds = 60292;
constexpr uint16_t kChResetQueues = 0xFFFB;
constexpr uint16_t kChForceValueIn = 0xFFFD;
constexpr uint16_t kChForceChannelIn = 0xFFFE;
constexpr uint16_t kChForceEnableIn = 0xFFFF;

// value: the 8 value bytes, little-endian, in the layout type names.
void OutputRequest(DriverInstance &di, uint16_t channel, uint32_t type, uint64_t value);

// With station s = channel div 500 + 1 (1..StationCount) and n = channel mod
// 500: binary input n (1..96) := value not 0, or analog input n - 192
// (193..256) := value. Any other channel changes nothing. Takes di.DataLock.
void ForceInput(DriverInstance &di, uint16_t channel, const Real6 &value);

}  // namespace zl

#endif  // ZL_EXCHANGE_OUTPUTPATH_H
