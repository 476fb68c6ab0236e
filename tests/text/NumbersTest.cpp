#include "text/Numbers.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "Error.h"

namespace zentora::excel {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
  EXPECT_EQ(LeadingNumber("12x"), 12);
  EXPECT_EQ(LeadingNumber("  -3.25abc"), -3.25);
  EXPECT_EQ(LeadingNumber("+7"), 7);
  EXPECT_EQ(LeadingNumber(".5"), 0.5);
  EXPECT_EQ(LeadingNumber("5."), 5);
  EXPECT_EQ(LeadingNumber("1e3"), 1000);
  EXPECT_EQ(LeadingNumber("2D2"), 200);
  EXPECT_EQ(LeadingNumber("1e"), 1) << "an exponent letter without digits ends the number";
  EXPECT_EQ(LeadingNumber("1e+x"), 1);
  EXPECT_EQ(LeadingNumber("4,5"), 4);
  EXPECT_EQ(LeadingNumber("0001234"), 1234);
}

TEST(LeadingNumber, SkipsBlanksInsideTheNumber) {
  EXPECT_EQ(LeadingNumber(" 1 2 3"), 123);
  EXPECT_EQ(LeadingNumber("\t- 4\n5"), -45);
  EXPECT_EQ(LeadingNumber("1\r2"), 1) << "a carriage return ends the number";
}

TEST(LeadingNumber, TextWithoutANumberReadsAsZero) {
  EXPECT_EQ(LeadingNumber(""), 0);
  EXPECT_EQ(LeadingNumber("x12"), 0);
  EXPECT_EQ(LeadingNumber("."), 0);
  EXPECT_EQ(LeadingNumber("-"), 0);
  EXPECT_EQ(LeadingNumber("1e-400"), 0) << "too small for a double is zero, not an error";
}

TEST(LeadingNumber, TooLargeForADoubleIsAnOverflow) {
  try {
    LeadingNumber("9e999");
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.code(), ErrorCode::Overflow);
    EXPECT_NE(std::string(error.what()).find("9e999"), std::string::npos) << error.what();
  }
  EXPECT_THROW(LeadingNumber(std::string(400, '9')), Error);
  EXPECT_EQ(LeadingNumber("0." + std::string(400, '0') + "1"), 0);
}

TEST(IntegerConversion, RoundsHalvesToEven) {
  EXPECT_EQ(ToInt16(4.5), 4);
  EXPECT_EQ(ToInt16(5.5), 6);
  EXPECT_EQ(ToInt16(-2.5), -2);
  EXPECT_EQ(ToInt16(-3.5), -4);
  EXPECT_EQ(ToInt16(3.7), 4);
  EXPECT_EQ(ToInt32(0.49999999999999994), 0);
  EXPECT_EQ(ToInt32(2147483646.5), 2147483646);
}

TEST(IntegerConversion, OutOfRangeIsAnOverflowNamingTheValue) {
  EXPECT_EQ(ToInt16(32767.4), 32767);
  EXPECT_EQ(ToInt16(-32768.5), -32768);
  try {
    ToInt16(32767.5);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.code(), ErrorCode::Overflow);
    EXPECT_NE(std::string(error.what()).find("32767.5"), std::string::npos) << error.what();
  }
  EXPECT_EQ(ToInt32(-2147483648.0), std::numeric_limits<std::int32_t>::min());
  EXPECT_THROW(ToInt32(2147483647.5), Error);
  EXPECT_THROW(ToInt32(std::numeric_limits<double>::quiet_NaN()), Error);
  EXPECT_THROW(ToInt32(std::numeric_limits<double>::infinity()), Error);
}

TEST(ParseDecimal, ReadsDecimalCommasAndPoints) {
  EXPECT_EQ(ParseDecimal("4,5"), 4.5);
  EXPECT_EQ(ParseDecimal("1.234,6"), 1234.6);
  EXPECT_EQ(ParseDecimal("1.234"), 1.234) << "a lone point is a decimal point";
  EXPECT_EQ(ParseDecimal("85%"), 85);
  EXPECT_EQ(ParseDecimal("0,4"), 0.4);
  EXPECT_EQ(ParseDecimal(""), 0);
  EXPECT_EQ(ParseDecimal("sehr gut"), 0);
  EXPECT_EQ(ParseDecimal("1e999"), 0) << "too large for a double counts as 0";
}

TEST(DecimalText, WritesWholeNumbers) {
  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(-17), "-17");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

}  // namespace
}  // namespace zentora::excel
