// A station as the running driver holds it: its configuration and the values,
// counters and flags the line and the host change while the driver runs.
//
// The configuration part never changes after the load and is read without a
// lock. The run-time fields are shared by the host's thread and the
// communication thread: they are read and written only under the driver's
// DataLock. The driver record hands a station out only that way (StationAt
// requires DataLock, which the compiler checks); ConfigAt gives the
// configuration part alone, without a lock.
#ifndef ZL_CORE_STATION_H
#define ZL_CORE_STATION_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "config/StationConfig.h"
#include "util/Real6.h"
#include "util/Text.h"

namespace zl {

// The runtime counters run for months and the host may set them to any
// value: they go on counting modulo 2^32 instead of overflowing.
inline void CountOne(int32_t &counter) {
  counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u);
}

// The run-time value of a QQ variable: the value to write or the last read.
struct QqValue {
  float Number = 0.0f;  // every type but LONGINT and STRING
  int32_t Int = 0;      // a LONGINT variable
  // A STRING variable: 32 characters and a NUL after a length byte of 33.
  // The decoder fills the characters four at a time.
  ShortStr<33> Text = InitialText();

  static ShortStr<33> InitialText() {
    char text[33];
    for (int i = 0; i < 32; ++i) text[i] = ' ';
    text[32] = '\0';
    return ShortStr<33>(std::string_view(text, 33));
  }
};

// The item values of a memory block, as the line carries them (1 to 4 bytes;
// item k is [k - 1]). Each starts as 4 zero bytes.
struct BlockValues {
  ShortStr<4> Items[255];

  BlockValues() {
    for (auto &v : Items) v.assign(std::string_view("\0\0\0\0", 4));
  }
  ShortStr<4> &operator[](std::size_t i) { return Items[i]; }
  const ShortStr<4> &operator[](std::size_t i) const { return Items[i]; }
};

// Every field below the configuration is guarded by the driver's DataLock:
// the only way to a Station is DriverInstance::StationAt, which requires it.
struct Station : StationConfig {
  // --- values of the configuration's element records, by the same index
  Real6 MemoryInValues[kMemoryListSize + 1];   // MemoryIn[i]'s value
  Real6 MemoryOutValues[kMemoryListSize + 1];  // MemoryOut[i]'s value
  uint16_t AnalogRaw[kMaxAnalogIn + 1] = {};   // AnalogLimits[i]'s last raw reading
  Real6 CounterValues[kMaxCounters + 1];       // Counters[i]'s value
  uint16_t CounterRaw[kMaxCounters + 1] = {};  // Counters[i]'s raw count
  std::vector<QqValue> QqValues;               // one per QqVariables entry
  std::vector<BlockValues> BlockItemValues;    // one per MemoryBlocks entry

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

  // The element records' values as a freshly loaded configuration starts
  // them: all zero, one QQ value and one set of block item values per record.
  void StartElementValues() {
    for (Real6 &v : MemoryInValues) v = Real6();
    for (Real6 &v : MemoryOutValues) v = Real6();
    for (uint16_t &v : AnalogRaw) v = 0;
    for (Real6 &v : CounterValues) v = Real6();
    for (uint16_t &v : CounterRaw) v = 0;
    QqValues.assign(QqVariables.size(), QqValue());
    BlockItemValues.assign(MemoryBlocks.size(), BlockValues());
  }
};

}  // namespace zl

#endif  // ZL_CORE_STATION_H
