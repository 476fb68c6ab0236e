#include "formula/CellAddress.h"

#include <gtest/gtest.h>

namespace zentora::spreadsheet {
namespace {

TEST(ColumnLettersTest, RoundTripsEveryColumnOfTheSheet) {
  for (std::int32_t column = 1; column <= kMaxColumn; ++column) {
    ASSERT_EQ(ColumnNumber(ColumnLetters(column)), column) << ColumnLetters(column);
  }
  EXPECT_EQ(ColumnLetters(1), "A");
  EXPECT_EQ(ColumnLetters(27), "AA");
  EXPECT_EQ(ColumnLetters(kMaxColumn), "XFD");
}

TEST(ColumnLettersTest, RejectsTextOutsideTheSheet) {
  EXPECT_EQ(ColumnNumber("xfd"), kMaxColumn);
  EXPECT_EQ(ColumnNumber("XFE"), 0);
  EXPECT_EQ(ColumnNumber("ABCD"), 0);
  EXPECT_EQ(ColumnNumber(""), 0);
  EXPECT_EQ(ColumnNumber("A1"), 0);
  EXPECT_EQ(ColumnLetters(0), "");
  EXPECT_EQ(ColumnLetters(kMaxColumn + 1), "");
}

TEST(CellRangeTest, ParsesCellsAndRangesInAnyCornerOrder) {
  EXPECT_EQ(ParseCellRange("B2"), (CellRange{2, 2, 2, 2}));
  EXPECT_EQ(ParseCellRange("$D$9:b2"), (CellRange{2, 2, 9, 4}));
  EXPECT_EQ(FormatCellRange(*ParseCellRange("D9:B2")), "B2:D9");
  EXPECT_EQ(FormatCellRange(*ParseCellRange("C3:C3")), "C3");
}

TEST(CellRangeTest, RejectsWhatIsNoPlainRange) {
  for (const char* text :
       {"", "A", "A:C", "3:5", "A0", "A01", "A1048577", "A1:", "A1:B", "Sheet1!A1", "A1 B2"}) {
    EXPECT_FALSE(ParseCellRange(text)) << text;
  }
}

}  // namespace
}  // namespace zentora::spreadsheet
