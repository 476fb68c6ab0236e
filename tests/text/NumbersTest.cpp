#include "text/Numbers.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "Error.h"
#include "ExpectError.h"

namespace zentora::excel {
namespace {

struct Reading {
  const char* text;
  double number;
};

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
  const Reading readings[] = {
      {"12x", 12},       {"  -3.25abc", -3.25},
      {"+7", 7},         {".5", 0.5},
      {"5.", 5},         {"1e3", 1000},
      {"2D2", 200},      {"1e", 1},
      {"1e+x", 1},       {"4,5", 4},
      {"0001234", 1234}, {" 1 2 3", 123},
      {"\t- 4\n5", -45}, {"1\r2", 1},  // blanks inside count, a CR ends it
      {"", 0},           {"x12", 0},
      {".", 0},          {"-", 0},
      {"1e-400", 0},  // too small for a double is zero, not an error
  };
  for (const Reading& reading : readings)
    EXPECT_EQ(LeadingNumber(reading.text), reading.number) << reading.text;
}

TEST(LeadingNumber, TooLargeForADoubleIsAnOverflow) {
  ExpectError([] { LeadingNumber("9e999"); }, ErrorCode::Overflow, "9e999");
  EXPECT_THROW(LeadingNumber(std::string(400, '9')), Error);
  EXPECT_EQ(LeadingNumber("0." + std::string(400, '0') + "1"), 0);
}

TEST(IntegerConversion, RoundsHalvesToEvenAndRefusesWhatIsOutOfRange) {
  EXPECT_EQ(ToInt16(4.5), 4);
  EXPECT_EQ(ToInt16(5.5), 6);
  EXPECT_EQ(ToInt16(-2.5), -2);
  EXPECT_EQ(ToInt16(-3.5), -4);
  EXPECT_EQ(ToInt16(3.7), 4);
  EXPECT_EQ(ToInt32(0.49999999999999994), 0);
  EXPECT_EQ(ToInt32(2147483646.5), 2147483646);
  // Out of range is an overflow naming the value.
  EXPECT_EQ(ToInt16(32767.4), 32767);
  EXPECT_EQ(ToInt16(-32768.5), -32768);
  ExpectError([] { ToInt16(32767.5); }, ErrorCode::Overflow, "32767.5");
  EXPECT_EQ(ToInt32(-2147483648.0), std::numeric_limits<std::int32_t>::min());
  EXPECT_THROW(ToInt32(2147483647.5), Error);
  EXPECT_THROW(ToInt32(std::numeric_limits<double>::quiet_NaN()), Error);
  EXPECT_THROW(ToInt32(std::numeric_limits<double>::infinity()), Error);
}

TEST(ParseDecimal, ReadsDecimalCommasAndPoints) {
  const Reading readings[] = {
      {"4,5", 4.5},    {"1.234,6", 1234.6}, {"1.234", 1.234},  // a lone point is a decimal point
      {"85%", 85},     {"0,4", 0.4},        {"", 0},
      {"sehr gut", 0}, {"1e999", 0},  // too large for a double counts as 0
  };
  for (const Reading& reading : readings)
    EXPECT_EQ(ParseDecimal(reading.text), reading.number) << reading.text;
}

TEST(DecimalText, WritesWholeNumbers) {
  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(-17), "-17");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

}  // namespace
}  // namespace zentora::excel
