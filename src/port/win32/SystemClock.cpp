// The system's clock on Windows and the date and time as the user's regional
// settings write them: the short date format and the long time format.
#include <windows.h>

#include "port/Clock.h"
#include "port/win32/WideText.h"

namespace zl {

LocalDateTime SystemNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  LocalDateTime t;
  t.Year = st.wYear;
  t.Month = st.wMonth;
  t.Day = st.wDay;
  t.Hour = st.wHour;
  t.Minute = st.wMinute;
  t.Second = st.wSecond;
  t.Millisecond = st.wMilliseconds;
  return t;
}

std::string DateTimeText(const LocalDateTime &t) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(t.Year);
  st.wMonth = static_cast<WORD>(t.Month);
  st.wDay = static_cast<WORD>(t.Day);
  st.wHour = static_cast<WORD>(t.Hour);
  st.wMinute = static_cast<WORD>(t.Minute);
  st.wSecond = static_cast<WORD>(t.Second);
  st.wMilliseconds = static_cast<WORD>(t.Millisecond);
  // The weekday, for formats that show it.
  FILETIME ft;
  SYSTEMTIME complete;
  if (SystemTimeToFileTime(&st, &ft) && FileTimeToSystemTime(&ft, &complete)) {
    st.wDayOfWeek = complete.wDayOfWeek;
  }
  wchar_t date[80] = {};
  wchar_t time[80] = {};
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 80)) date[0] = 0;
  std::wstring text = date;
  if (t.Hour != 0 || t.Minute != 0 || t.Second != 0 || t.Millisecond != 0) {
    if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 80)) time[0] = 0;
    text += L' ';
    text += time;
  }
  return Cp1250FromWide(text);
}

}  // namespace zl
