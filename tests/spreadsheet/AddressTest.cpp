#include "Spreadsheet/Address.h"

#include <gtest/gtest.h>

#include "Spreadsheet/Error.h"

namespace zentora::spreadsheet {
namespace {

TEST(ColumnLetters, RoundTripsEveryColumnThroughTheParser) {
  std::string letters;
  for (std::uint32_t column : {1u, 26u, 27u, 702u, 703u, 16384u}) letters += ColumnLetters(column) + " ";
  EXPECT_EQ(letters, "A Z AA ZZ AAA XFD ");
  for (std::uint32_t column = 1; column <= kMaxColumns; ++column) {
    std::uint32_t row = 0, parsed = 0;
    ASSERT_TRUE(ParseCellReference(ColumnLetters(column) + "7", row, parsed) && parsed == column && row == 7u)
        << column;
  }
  EXPECT_THROW(ColumnLetters(0), Error);
  EXPECT_THROW(ColumnLetters(16385), Error);
}

TEST(RangeAddress, CellsRangesRowsAndColumnsAsTheApplicationWritesThem) {
  std::string read;
  for (const char* address : {"A2:F11", "$B$3", "f11:a2", "3:5", "B:C"})
    read += RangeReference(ParseRangeAddress(address)) + " ";
  for (const char* rows : {"7:7", "$3:$5"}) read += RangeReference(ParseRowsAddress(rows)) + " ";
  EXPECT_EQ(read, "A2:F11 B3 A2:F11 A3:XFD5 B1:C1048576 A7:XFD7 A3:XFD5 ");
}

TEST(RangeAddress, MalformedOrOutOfSheetAddressesAreNamedInTheError) {
  for (const char* address : {"", "A", "7", "A0", "XFE1", "A1048577", "A1:", ":A1", "A1:3", "1:B", "A1:B2:C3",
                              "A 1", "1048577:1048577", "Z-1"}) {
    try {
      ParseRangeAddress(address);
      ADD_FAILURE() << "accepted \"" << address << "\"";
    } catch (const Error& error) {
      EXPECT_EQ(error.code(), ErrorCode::InvalidArgument);
      EXPECT_NE(std::string(error.what()).find("\"" + std::string(address) + "\""), std::string::npos)
          << error.what();
    }
  }
  for (const char* address : {"7", "A1:A2", "0:0", "3:", "B:B"}) {
    EXPECT_THROW(ParseRowsAddress(address), Error) << address;
  }
}

}  // namespace
}  // namespace zentora::spreadsheet
