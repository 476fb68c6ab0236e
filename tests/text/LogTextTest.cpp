#include "text/LogText.h"

#include <gtest/gtest.h>

#include <string>

#include "Error.h"
#include "ExpectError.h"

namespace zentora::excel {
namespace {

// Reading and writing a whole log is checked through the item (ItemTest, Notification); these are
// the logs with parts missing or to spare.
TEST(LogReaders, MissingPartsReadAsEmptyOrZeroAndCountsBeyondThirtyTwoBitsOverflow) {
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
