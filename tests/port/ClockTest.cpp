#include "port/Clock.h"

#include <gtest/gtest.h>

#include "support/Timing.h"

namespace zl {
namespace {

using test::At;

TEST(Clock, DayCentisecondsCountsHundredthsSinceMidnight) {
  struct Case {
    LocalDateTime t;
    int32_t expected;
  } cases[] = {
      {At(0, 0, 0, 0), 0},
      {At(0, 0, 0, 9), 0},  // milliseconds div 10
      {At(0, 0, 1, 15), 101},
      {At(12, 34, 56, 789), (12 * 3600 + 34 * 60 + 56) * 100 + 78},
      {At(23, 59, 59, 999), 8639999},
  };
  for (const Case &c : cases) EXPECT_EQ(DayCentiseconds(c.t), c.expected);
}

TEST(Clock, TheInjectedClockDrivesEveryReadingAndPassesMidnight) {
  ManualClock clock(At(23, 59, 59, 990));
  SetClock(&clock);
  EXPECT_EQ(DayCentiseconds(), 8639999);
  clock.Advance(30);
  EXPECT_EQ(DayCentiseconds(), 2);
  EXPECT_EQ(Now().Day, 21);
  clock.Set([] {
    LocalDateTime t = At(23, 59, 59, 999);
    t.Month = 12;
    t.Day = 31;
    return t;
  }());
  clock.Advance(1);
  EXPECT_EQ(Now().Year, 2008);
  EXPECT_EQ(Now().Month, 1);
  EXPECT_EQ(Now().Day, 1);
  SetClock(nullptr);
}

TEST(Clock, DateTimeTextLeavesOutTheTimeAtExactlyMidnight) {
  std::string midnight = DateTimeText(At(0, 0, 0, 0));
  std::string later = DateTimeText(At(0, 0, 0, 10));
  ASSERT_FALSE(midnight.empty());
  ASSERT_GT(later.size(), midnight.size() + 1);
  EXPECT_EQ(later.substr(0, midnight.size()), midnight);
  EXPECT_EQ(later[midnight.size()], ' ');
  // Any other moment of the day has its time part.
  EXPECT_GT(DateTimeText(At(12, 0, 0, 0)).size(), midnight.size());
}

}  // namespace
}  // namespace zl
