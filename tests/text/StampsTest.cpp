#include "text/Stamps.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "Error.h"
#include "ExpectError.h"
#include "outside/Clock.h"

namespace zentora::excel {
namespace {

TEST(NowStamp, FormatsTheLocalTimeAsFourteenDigits) {
  FixedClock clock({2011, 3, 2, 14, 30, 15, 999999});
  ClockOverride override(clock);
  EXPECT_EQ(NowStamp(), "20110302143015");
  clock.Set({987, 1, 9, 0, 0, 5, 0});
  EXPECT_EQ(NowStamp(), "09870109000005");
}

TEST(NormalizeStamp, ReadsTheNotationsFoundInWorkbooksAndPassesOtherTexts) {
  // A time alone is read as the day part; other texts pass or are read as far as they go, never
  // failing; the ninth character counts code points.
  const std::pair<const char*, const char*> notations[] = {
      {"20110302143015", "20110302143015"},
      {"20110302-143015", "20110302143015"},
      {"02.03.2011 14:30:15", "20110302143015"},
      {"2.3.11 8:05", "20110302080500"},
      {"02/03/2011 14:30", "20110302143000"},
      {"1.2.2010", "20100201000000"},
      {"14:30", "00000014000000"},
      {"1.1.30", "19300101000000"},
      {"1.1.29", "20290101000000"},
      {"1.1.0", "00000101000000"},
      {"1.1.100", "01000101000000"},
      {"", ""},
      {"gestern", "gestern"},
      {"x.y.z a:b:c", "00000000000000"},
      {"1e999.2.2010", "20100200000000"},
      {"-1.2.2010", "201002-01000000"},
      {"ä1234567-x", "ä1234567x"},
  };
  for (const auto& [text, stamp] : notations) EXPECT_EQ(NormalizeStamp(text), stamp) << text;
}

TEST(StampSeconds, CountsMonthsAsThirtyOneDaysWithinThirtyTwoBits) {
  EXPECT_EQ(StampSeconds("19800101000000"), 2764800);
  EXPECT_EQ(StampSeconds("19800101000001"), 2764801);
  EXPECT_EQ(StampSeconds("02.01.1980"), 2764800 + 86400);
  EXPECT_EQ(StampSeconds("19800131235959") + 1, StampSeconds("19800201000000"));
  // Outside 32 bits the seconds are 0.
  EXPECT_EQ(StampSeconds("20460924031407"), 2147483647);
  EXPECT_EQ(StampSeconds("20460924031408"), 0);
  EXPECT_EQ(StampSeconds("20461001000000"), 0);
  EXPECT_EQ(StampSeconds("19140101000000"), -2118528000);
  EXPECT_EQ(StampSeconds("19130206204552"), -2147483647 - 1);
  EXPECT_EQ(StampSeconds("19130206204551"), 0);
  EXPECT_EQ(StampSeconds("19000101000000"), 0);
  EXPECT_EQ(StampSeconds("14:30"), 0) << "a text without a year";
}

TEST(StampAge, SecondsFromTheStampUntilNowOrAnOverflow) {
  FixedClock clock({2011, 3, 2, 14, 30, 15, 0});
  ClockOverride override(clock);
  EXPECT_EQ(StampAge("20110302143000"), 15);
  EXPECT_EQ(StampAge(NowStamp()), 0);
  EXPECT_EQ(StampAge("20110302143016"), -1) << "a stamp one second ahead";
  EXPECT_EQ(StampAge(""), -1);
  EXPECT_EQ(StampAge("02.03.2011 14:30"), 15);
  clock.Set({2046, 9, 24, 3, 14, 7, 0});  // a difference beyond 32 bits
  ExpectError([] { StampAge("19130206204552"); }, ErrorCode::Overflow, "19130206204552");
}

}  // namespace
}  // namespace zentora::excel
