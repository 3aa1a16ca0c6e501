// A request waiting in one of the two request queues, and the answers waiting
// to be decoded.
#ifndef ZL_CORE_QUEUEDREQUEST_H
#define ZL_CORE_QUEUEDREQUEST_H

#include <cstdint>

#include "config/StationConfig.h"
#include "util/Text.h"

namespace zl {

// Request kinds: the number that selects the ZL2 command of a request.
enum RequestKind : int32_t {
  kReadBinaryInputs = 0,    // "B"
  kReadAnalogBlock = 1,     // "N" at DEF_ANALOG_IN_ADDR
  kReadCounters = 2,        // "C"
  kResetCounters = 3,       // "C" with bit 7
  kWriteBinaryOutputs = 4,  // "b"
  kWriteMemoryOutput = 5,   // "n"
  kReadMemoryInput = 6,     // "N"
  kReadAnalogInputs = 7,    // "A"
  kReadMemoryOutputs = 8,   // "K"
  kWriteMemoryOutputs = 9,  // "k"
  kWriteQq = 15,            // "QQ"
  kReadQq = 16,             // "Qq"
  kReadMemoryBlock = 17,    // "N"
  kWriteBlockItem = 18,     // "n"
  // Sample block reads ("QN") of sample blocks 1, 2, 3, and their alternatives.
  kReadSamples1 = 72,
  kReadSamples2 = 76,
  kReadSamples3 = 80,
  kReadSamplesAlt1 = 136,
  kReadSamplesAlt2 = 140,
  kReadSamplesAlt3 = 144,
};

struct QueuedRequest {
  uint8_t Station = 0;                      // 1..100
  int32_t Kind = 0;                         // always stored from an 8-bit value
  int16_t Index = 0;                        // object index or controller address, by kind
  Str255 Data;                              // payload, by kind
  const MemoryBlock *Definition = nullptr;  // kinds 17 and 18
  uint64_t Serial = 0;  // given when queued, never reused: tells this entry from later ones
};

struct ReceivedMessage {
  Str255 RequestFrame;  // the frame sent last when this message was stored (may be empty)
  Str255 Message;       // from the byte after PREFIX through the checksum
};

}  // namespace zl

#endif  // ZL_CORE_QUEUEDREQUEST_H
