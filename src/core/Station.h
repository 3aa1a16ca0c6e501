// A station as the running driver holds it: its configuration and the values,
// counters and flags the line and the host change while the driver runs.
//
// The configuration part never changes after the load and is read without a
// lock. The run-time fields are shared by the host's thread and the
// communication thread: they are read and written only under the data lock.
#ifndef ZL_CORE_STATION_H
#define ZL_CORE_STATION_H

#include <cstdint>

#include "config/StationConfig.h"
#include "util/Real6.h"

namespace zl {

// The runtime counters run for months and the host may set them to any
// value: they go on counting modulo 2^32 instead of overflowing.
inline void CountOne(int32_t &counter) {
  counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u);
}

struct Station : StationConfig {
  // --- object values
  uint8_t BinaryIn[kMaxBinaryIn] = {};    // object n is BinaryIn[n - 1], 0 or 1
  uint8_t BinaryOut[kMaxBinaryOut] = {};  // object n is BinaryOut[n - 1]
  Real6 AnalogIn[kMaxAnalogIn + 1];       // 1..64

  // --- counters and flags (counted with CountOne)
  int32_t RequestCount = 0;      // requests sent (MsgCounter)
  int32_t TimeoutTotal = 0;      // all answer time-outs (ErrorNoAnswer)
  int32_t ErrorItemCount = 0;    // "E" items received (ErrorInMess)
  Real6 SecondsSinceAnswer;      // silence time
  Real6 SleepRemaining;          // seconds of sleep still to run; 0 = awake
  uint16_t TimeoutRun = 0;       // consecutive time-outs
  uint8_t FailCount = 0;         // failures counted against NUM_TOLVIN_ERROR
  uint8_t Busy = 0;              // in_now_comm: a request is in flight
  uint8_t Fault = 0;             // in_last_com_err
  uint8_t ConnectRequested = 0;  // in_connecting_modem
  uint8_t Online = 0;            // in_connected_modem
  uint8_t NewBinaryInputs = 0;   // bi_new_BI
  uint8_t NewAnalogInputs = 0;   // bi_new_AI
  uint8_t NewCounters = 0;       // bi_new_CT
  uint8_t NewMemory = 0;         // bi_new_MI
  uint8_t ControlError = 0;      // bi_new_err_control
  uint8_t ActiveMessage = 0;     // in_active_message
  uint32_t RuntimeValue = 0;     // CallCode channel / unsolicited QQ message data

  char TextLines[4][256] = {};  // Video texts 1..4, NUL-terminated
};

}  // namespace zl

#endif  // ZL_CORE_STATION_H
