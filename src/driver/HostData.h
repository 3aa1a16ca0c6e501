// The host's data entry points, as the driver's exports hand them on: the
// sample buffer, reads and writes of channels. The exports have checked the
// handle and the pointers; these run on the host's thread.
#ifndef ZL_DRIVER_HOSTDATA_H
#define ZL_DRIVER_HOSTDATA_H

#include <cstdint>

#include "zlnetdrv.h"

namespace zl {

struct DriverInstance;

// BufferInfo: whether the driver serves the host buffer described.
bool HostBufferInfo(DriverInstance &di, uint32_t number, uint8_t type, uint16_t size);
// SetBufferAddr: the host's block for a buffer number.
void HostSetBufferAddr(DriverInstance &di, uint32_t number, void *block);
// InputRequest: a fresh value of a channel is wanted.
void HostInputRequest(DriverInstance &di, uint16_t channel);
// GetInput: the channel's current value into value, in value.type.
void HostGetInput(DriverInstance &di, uint16_t channel, HostValue &value);
// OutputRequest: a value or command for a channel.
void HostOutputRequest(DriverInstance &di, uint16_t channel, uint32_t type, uint64_t value);

}  // namespace zl

#endif  // ZL_DRIVER_HOSTDATA_H
