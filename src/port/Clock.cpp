#include "port/Clock.h"

#ifndef _WIN32
#include <langinfo.h>
#include <locale.h>
#include <sys/time.h>
#include <time.h>
#endif

#include <atomic>
#include <string_view>

#include "util/Text.h"

namespace zl {

#ifdef _WIN32
// The system's local time (port/win32/SystemClock.cpp, beside the Windows
// DateTimeText).
LocalDateTime SystemNow();
#endif

namespace {

std::atomic<const Clock *> g_clock{nullptr};

#ifndef _WIN32
LocalDateTime SystemNow() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  // The calendar fields change once a second, and the communication thread
  // asks for them on every pass (100 times a second by default): the time
  // zone conversion runs once per second and thread.
  thread_local time_t convertedSecond = -1;
  thread_local struct tm converted = {};
  if (ts.tv_sec != convertedSecond) {
    localtime_r(&ts.tv_sec, &converted);
    convertedSecond = ts.tv_sec;
  }
  const struct tm &tm = converted;
  LocalDateTime t;
  t.Year = tm.tm_year + 1900;
  t.Month = tm.tm_mon + 1;
  t.Day = tm.tm_mday;
  t.Hour = tm.tm_hour;
  t.Minute = tm.tm_min;
  t.Second = tm.tm_sec;
  t.Millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return t;
}

// The user's LC_TIME, resolved once; the C locale when the environment names
// none that is installed.
locale_t TimeLocale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (!l) l = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    return l;
  }();
  return loc;
}
#endif

int DaysInMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

#ifndef _WIN32
// True when text holds bytes above 0x7F and all of them form well-formed
// UTF-8 sequences (what a UTF-8 locale produces; 8-bit code pages rarely do).
bool IsNonAsciiUtf8(std::string_view text) {
  bool high = false;
  std::size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t extra = (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : 0;
    if (extra == 0 || i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    high = true;
    i += extra + 1;
  }
  return high;
}
#endif

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

#ifndef _WIN32
std::string DateTimeText(const LocalDateTime &t) {
  struct tm tm = {};
  tm.tm_year = t.Year - 1900;
  tm.tm_mon = t.Month - 1;
  tm.tm_mday = t.Day;
  tm.tm_hour = t.Hour;
  tm.tm_min = t.Minute;
  tm.tm_sec = t.Second;
  tm.tm_isdst = -1;
  // Weekday and day of the year for formats that show them.
  struct tm probe = tm;
  time_t when = mktime(&probe);
  if (when != static_cast<time_t>(-1)) {
    tm.tm_wday = probe.tm_wday;
    tm.tm_yday = probe.tm_yday;
  }
  char date[64] = {0};
  char time[64] = {0};
  locale_t loc = TimeLocale();
  if (loc) {
    strftime_l(date, sizeof date, "%x", &tm, loc);
    strftime_l(time, sizeof time, "%X", &tm, loc);
  } else {
    strftime(date, sizeof date, "%x", &tm);
    strftime(time, sizeof time, "%X", &tm);
  }
  std::string text = date;
  if (t.Hour != 0 || t.Minute != 0 || t.Second != 0 || t.Millisecond != 0) {
    text += ' ';
    text += time;
  }
  // The driver's texts are Windows-1250; a UTF-8 locale's names (months,
  // AM/PM markers) are converted.
  return IsNonAsciiUtf8(text) ? Cp1250(text) : text;
}
#endif

std::string DateTimeText() {
  return DateTimeText(Now());
}

}  // namespace zl
