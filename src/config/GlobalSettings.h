// The [GLOBAL] section: values that hold for the whole ZL2 line.
#ifndef ZL_CONFIG_GLOBALSETTINGS_H
#define ZL_CONFIG_GLOBALSETTINGS_H

#include <cstdint>

#include "util/Real6.h"
#include "util/Text.h"

namespace zl {

struct GlobalSettings {
  uint8_t Address = 0;          // the driver's own address on the line
  Str255 Prefix;                // sent before every frame
  Str255 Suffix;                // sent after the checksum
  Str255 PreSuffix;             // after the command, inside the checksum
  Real6 AnswerTime;             // seconds: longest wait for an answer
  uint16_t SilenceWait = 0;     // ms: pause after an answer
  uint16_t RtsTimeOn = 0;       // stored only
  uint16_t RtsTimeOff = 0;      // stored only
  int16_t DefAnalogInAddr = 0;  // what FROM_GLOBAL stands for; -1 disables it
  uint8_t NumTolvinError = 1;   // FailCount limit of a station with a phone number
  Str255 CucPath;               // sample file folder, ends in one backslash
  bool StayInQueueOnTimeout = false;
  Real6 SleepTime;            // seconds; 0 = stations never sleep
  uint16_t SleepCount = 100;  // TimeoutRun at which a station sleeps
  int32_t IdleTime = 10;      // ms between passes of the communication thread, 0..65535
};

}  // namespace zl

#endif  // ZL_CONFIG_GLOBALSETTINGS_H
