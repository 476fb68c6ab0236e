#include "outside/Clock.h"

#include <gtest/gtest.h>

namespace zentora::excel {
namespace {

TEST(Clock, SystemClockGivesAPlausibleLocalTime) {
  const LocalDateTime now = LocalNow();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LT(now.microsecond, 1000000);
}

TEST(Clock, OverridesNestAndRestore) {
  const LocalDateTime outer{2011, 3, 2, 14, 30, 15, 0};
  const LocalDateTime inner{1999, 12, 31, 23, 59, 59, 500000};
  FixedClock outerClock(outer);
  FixedClock innerClock(inner);
  {
    ClockOverride outerOverride(outerClock);
    EXPECT_EQ(LocalNow(), outer);
    {
      ClockOverride innerOverride(innerClock);
      EXPECT_EQ(LocalNow(), inner);
      EXPECT_FLOAT_EQ(SecondsSinceMidnight(), 86399.5f);
    }
    EXPECT_EQ(LocalNow(), outer);
    outerClock.Set(inner);
    EXPECT_EQ(LocalNow(), inner);
  }
  EXPECT_NE(&CurrentClock(), &outerClock);
}

}  // namespace
}  // namespace zentora::excel
