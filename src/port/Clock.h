// The driver's only clock: local date and time, injectable for tests.
//
// DayCentiseconds and DateTimeText read the same clock, so a test can stand at
// 23:59:59.99 or let half a second pass without sleeping.
#ifndef ZL_PORT_CLOCK_H
#define ZL_PORT_CLOCK_H

#include <cstdint>
#include <mutex>
#include <string>

namespace zl {

struct LocalDateTime {
  int Year = 2000;
  int Month = 1;  // 1..12
  int Day = 1;    // 1..31
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() const = 0;
};

// A clock that stands still until it is set or advanced (thread-safe).
class ManualClock : public Clock {
 public:
  explicit ManualClock(LocalDateTime start = {}) : now_(start) {}
  LocalDateTime Now() const override;
  void Set(const LocalDateTime &t);
  void SetTime(int hour, int minute, int second, int millisecond);
  // Moves forward by ms milliseconds, across midnight into the next day.
  void Advance(int64_t ms);

 private:
  mutable std::mutex mutex_;
  LocalDateTime now_;
};

// Makes every reading come from clock (not owned); nullptr restores the
// system's local time.
void SetClock(const Clock *clock);

LocalDateTime Now();

// Local time of day in hundredths of a second since midnight, 0..8 639 999.
int32_t DayCentiseconds();
int32_t DayCentiseconds(const LocalDateTime &t);

// The local date and time in the user's short date and long time formats
// (LC_TIME, without touching the process's locale; on Windows the user's
// regional settings), separated by one blank,
// in Windows-1250 like every text of the driver. At exactly midnight the time
// part is left out.
std::string DateTimeText();
std::string DateTimeText(const LocalDateTime &t);

}  // namespace zl

#endif  // ZL_PORT_CLOCK_H
