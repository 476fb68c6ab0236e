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

TEST(LogReaders, TakeTheFieldsApartMissingOnesEmptyOrZeroAndCountsWithin32Bits) {
  const std::string log = std::string(kCreated) + "," + kChanged + "*4," + kViewed + "*2";
  EXPECT_EQ(LogCreationStamp(log), kCreated);
  EXPECT_EQ(LogModifyStamp(log), kChanged);
  EXPECT_EQ(LogModifyCountOf(log), 4);
  EXPECT_EQ(LogViewStamp(log), kViewed);
  EXPECT_EQ(LogViewCountOf(log), 2);
  // Missing parts read as empty or zero.
  EXPECT_EQ(LogCreationStamp("C"), "C");
  EXPECT_EQ(LogModifyStamp("C"), "");
  EXPECT_EQ(LogModifyCountOf("C"), 0);
  EXPECT_EQ(LogModifyStamp("C,M"), "M") << "a field without * is all stamp";
  EXPECT_EQ(LogModifyCountOf("C,M"), 0);
  EXPECT_EQ(LogViewCountOf("C,M*1,V*x"), 0);
  EXPECT_EQ(LogViewCountOf("C,M*1,V* 2.5"), 2) << "halves round to even";
  EXPECT_EQ(LogModifyCountOf("-Datensatz nicht mehr vorhanden-"), 0);
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

TEST(LogWriters, OneWriteOnLogsWithPartsMissingOrToSpare) {
  using Write = void (*)(std::string&);
  const struct {
    const char* log;
    Write write;
    const char* written;
  } cases[] = {
      {"", [](std::string& log) { SetLogViewCount(log, 1); }, ",,*1"},
      {"C", [](std::string& log) { SetLogModifyCount(log, 0); }, "C*0"},  // a count of 0 adds no field
      {"C", [](std::string& log) { SetLogModifyStamp(log, ""); }, "C*"},
      {"C", [](std::string& log) { SetLogViewStamp(log, "V"); }, "C,,V*"},
      {"C", [](std::string& log) { SetLogViewCount(log, 0); }, "C*0"},
      {"C,M*1,V*1,extra,more", [](std::string& log) { SetLogViewStamp(log, "W"); }, "C,M*1,W*1"},
      {"C,M*1,V*1,extra", [](std::string& log) { SetLogModifyStamp(log, "N"); }, "C,N*1,V*1,extra"},
  };
  for (const auto& example : cases) {
    std::string log = example.log;
    example.write(log);
    EXPECT_EQ(log, example.written) << example.log;
  }
}

}  // namespace
}  // namespace zentora::excel
