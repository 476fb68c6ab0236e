#include "text/LogText.h"

#include <gtest/gtest.h>

#include <string>

#include "Error.h"
#include "ExpectError.h"

namespace zentora::excel {
namespace {

constexpr const char* kCreated = "20110302143015";
constexpr const char* kChanged = "20110303090000";
constexpr const char* kViewed = "20110304100000";

TEST(LogReaders, TakeTheFieldsApart) {
  const std::string log = std::string(kCreated) + "," + kChanged + "*4," + kViewed + "*2";
  EXPECT_EQ(LogCreationStamp(log), kCreated);
  EXPECT_EQ(LogModifyStamp(log), kChanged);
  EXPECT_EQ(LogModifyCountOf(log), 4);
  EXPECT_EQ(LogViewStamp(log), kViewed);
  EXPECT_EQ(LogViewCountOf(log), 2);
}

TEST(LogReaders, MissingPartsReadAsEmptyOrZero) {
  EXPECT_EQ(LogCreationStamp("C"), "C");
  EXPECT_EQ(LogModifyStamp("C"), "");
  EXPECT_EQ(LogModifyCountOf("C"), 0);
  EXPECT_EQ(LogModifyStamp("C,M"), "M") << "a field without * is all stamp";
  EXPECT_EQ(LogModifyCountOf("C,M"), 0);
  EXPECT_EQ(LogViewCountOf("C,M*1,V*x"), 0);
  EXPECT_EQ(LogViewCountOf("C,M*1,V* 2.5"), 2) << "halves round to even";
  EXPECT_EQ(LogModifyCountOf("-Datensatz nicht mehr vorhanden-"), 0);
}

TEST(LogReaders, CountBeyondThirtyTwoBitsIsAnOverflow) {
  ExpectError([] { LogModifyCountOf("C,M*2147483648"); }, ErrorCode::Overflow, "2147483648");
}

TEST(LogWriters, FollowTheLifeOfAnItem) {
  std::string log = "C";
  SetLogModifyCount(log, LogModifyCountOf(log) + 1);
  EXPECT_EQ(log, "C,*1");
  SetLogModifyStamp(log, "M1");
  EXPECT_EQ(log, "C,M1*1");
  SetLogViewCount(log, LogViewCountOf(log) + 1);
  SetLogViewStamp(log, "V");
  EXPECT_EQ(log, "C,M1*1,V*1");
  SetLogModifyCount(log, LogModifyCountOf(log) + 1);
  SetLogModifyStamp(log, "M2");
  EXPECT_EQ(log, "C,M2*2,V*1") << "field 3 is carried over";
}

TEST(LogWriters, ViewOnAnEmptyLogLeavesTwoCommas) {
  std::string log;
  SetLogViewCount(log, LogViewCountOf(log) + 1);
  SetLogViewStamp(log, "V");
  EXPECT_EQ(log, ",,V*1");
}

TEST(LogWriters, WriteTheStarEvenWhenStampAndCountAreEmpty) {
  std::string log = "C";
  SetLogModifyCount(log, 0);
  EXPECT_EQ(log, "C*0") << "a count of 0 is not present, so no comma";
  log = "C";
  SetLogModifyStamp(log, "");
  EXPECT_EQ(log, "C*");
}

TEST(LogWriters, ViewRewriteKeepsOnlyThreeFields) {
  std::string log = "C,M*1,V*1,extra,more";
  SetLogViewStamp(log, "W");
  EXPECT_EQ(log, "C,M*1,W*1");
  log = "C,M*1,V*1,extra";
  SetLogModifyStamp(log, "N");
  EXPECT_EQ(log, "C,N*1,V*1,extra") << "the modification rewrite keeps every later field";
}

TEST(LogWriters, ViewStampWithoutModification) {
  std::string log = "C";
  SetLogViewStamp(log, "V");
  EXPECT_EQ(log, "C,,V*");
  log = "C";
  SetLogViewCount(log, 0);
  EXPECT_EQ(log, "C*0");
}

}  // namespace
}  // namespace zentora::excel
