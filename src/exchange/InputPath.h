// The host's reads: InputRequest announces a read (and queues the read of a
// QQ variable), GetInput copies the driver's current value of a channel into
// the host's value record.
//
// Both do nothing until Init has loaded a configuration (di.Channels). GetInput
// answers at once from what the driver holds: it never allocates and never
// walks a table, so it costs the same for any channel of any configuration.
#ifndef ZL_EXCHANGE_INPUTPATH_H
#define ZL_EXCHANGE_INPUTPATH_H

#include <cstdint>

#include "zlnetdrv.h"

namespace zl {

struct DriverInstance;

// Driver channels of GetInput.
constexpr uint16_t kChSampleRowByte = 60004;   // .. 60009: bytes 0..5 of the selected row
constexpr uint16_t kChSampleRowValue = 60010;  // .. 60017: values 1..8 of the row
constexpr uint16_t kChSampleBusy = 60018;
constexpr uint16_t kChSampleFileWritten = 60022;
constexpr uint16_t kChSampleRowBit = 60100;  // .. 60291: the 192 bits of the row's values
constexpr uint16_t kChSampleBuffer = 0xFFFC;
constexpr uint16_t kChForceValue = 0xFFFD;
constexpr uint16_t kChForceChannel = 0xFFFE;
constexpr uint16_t kChForceEnable = 0xFFFF;
// Diagnostic channels, served when no station claims them.
constexpr uint16_t kChFirstDiagnostic = 488;
constexpr uint16_t kChLastDiagnostic = 499;
constexpr uint16_t kChHeapBytes = 496;

// For a QQ variable of direction READ or BIDIR, unless reads are suspended:
// queues its read when none is pending (nothing while its station sleeps),
// and wakes the communication thread.
void InputRequest(DriverInstance &di, uint16_t channel);

// Writes the channel's value in value.type; leaves value untouched when the
// channel or the type is not served.
void GetInput(DriverInstance &di, uint16_t channel, HostValue &value);

// Bytes this process holds allocated on its heap (0 where the platform gives
// no figure), at most INT32_MAX; the figure is at most 100 ms old.
int32_t HeapBytesInUse();

}  // namespace zl

#endif  // ZL_EXCHANGE_INPUTPATH_H
