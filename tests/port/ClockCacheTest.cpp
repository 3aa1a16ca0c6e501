// The system clock converts to local time once per second and thread; the
// time of day it gives must still be the one the C library gives, also across
// the change of a second.
#include <gtest/gtest.h>

#include <time.h>

#include <chrono>

#include "port/Clock.h"

namespace zl {
namespace {

int32_t DirectDayCentiseconds() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm tm;
  localtime_r(&ts.tv_sec, &tm);
  return ((tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) * 100) +
         static_cast<int32_t>(ts.tv_nsec / 10000000);
}

TEST(ClockCache, TheTimeOfDayIsTheLibrarysAcrossSecondChanges) {
  SetClock(nullptr);  // the system clock
  int changes = 0;
  int32_t last = DayCentiseconds();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (changes < 1 && std::chrono::steady_clock::now() < end) {
    const int32_t before = DirectDayCentiseconds();
    const int32_t now = DayCentiseconds();
    const int32_t after = DirectDayCentiseconds();
    if (after < before) continue;  // midnight passed: no order to test
    ASSERT_LE(before, now);
    ASSERT_LE(now, after);
    if (now / 100 != last / 100) ++changes;
    last = now;
  }
  EXPECT_GE(changes, 1);
}

}  // namespace
}  // namespace zl
