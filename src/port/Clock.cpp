#include "port/Clock.h"

#include <atomic>

namespace zl {

// The system's local time, from the platform's backend beside its
// DateTimeText.
LocalDateTime SystemNow();

namespace {

std::atomic<const Clock *> g_clock{nullptr};

int DaysInMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

LocalDateTime ManualClock::Now() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return now_;
}

void ManualClock::Set(const LocalDateTime &t) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_ = t;
}

void ManualClock::SetTime(int hour, int minute, int second, int millisecond) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_.Hour = hour;
  now_.Minute = minute;
  now_.Second = second;
  now_.Millisecond = millisecond;
}

void ManualClock::Advance(int64_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  int64_t dayMs = ((now_.Hour * 60LL + now_.Minute) * 60 + now_.Second) * 1000 + now_.Millisecond;
  dayMs += ms;
  while (dayMs >= 86400000LL) {
    dayMs -= 86400000LL;
    if (++now_.Day > DaysInMonth(now_.Year, now_.Month)) {
      now_.Day = 1;
      if (++now_.Month > 12) {
        now_.Month = 1;
        ++now_.Year;
      }
    }
  }
  now_.Millisecond = static_cast<int>(dayMs % 1000);
  now_.Second = static_cast<int>(dayMs / 1000 % 60);
  now_.Minute = static_cast<int>(dayMs / 60000 % 60);
  now_.Hour = static_cast<int>(dayMs / 3600000);
}

void SetClock(const Clock *clock) {
  g_clock.store(clock);
}

LocalDateTime Now() {
  const Clock *c = g_clock.load();
  return c ? c->Now() : SystemNow();
}

int32_t DayCentiseconds(const LocalDateTime &t) {
  return ((t.Hour * 3600 + t.Minute * 60 + t.Second) * 100) + t.Millisecond / 10;
}

int32_t DayCentiseconds() {
  return DayCentiseconds(Now());
}

std::string DateTimeText() {
  return DateTimeText(Now());
}

}  // namespace zl
