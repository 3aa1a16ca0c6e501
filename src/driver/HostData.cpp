// The data entry points hand on to the host data exchange: the sample buffer,
// the input path and the output path.
#include "driver/HostData.h"

#include "core/DriverInstance.h"
#include "core/SampleBuffer.h"
#include "exchange/InputPath.h"
#include "exchange/OutputPath.h"

namespace zl {

bool HostBufferInfo(DriverInstance &, uint32_t number, uint8_t type, uint16_t size) {
  return SampleBufferAccepted(number, type, size);
}

void HostSetBufferAddr(DriverInstance &di, uint32_t number, void *block) {
  if (number == kSampleBufferNumber) InitSampleBuffer(di.Sample, block);
}

void HostInputRequest(DriverInstance &di, uint16_t channel) {
  InputRequest(di, channel);
}

void HostGetInput(DriverInstance &di, uint16_t channel, HostValue &value) {
  GetInput(di, channel, value);
}

void HostOutputRequest(DriverInstance &di, uint16_t channel, uint32_t type, uint64_t value) {
  OutputRequest(di, channel, type, value);
}

}  // namespace zl
