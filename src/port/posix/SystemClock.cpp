// The system's clock on Linux and the date and time as the user's locale
// writes them (LC_TIME's date and time formats).
#include <langinfo.h>
#include <locale.h>
#include <sys/time.h>
#include <time.h>

#include <string_view>

#include "port/Clock.h"
#include "util/Text.h"

namespace zl {
namespace {

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

}  // namespace

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

}  // namespace zl
