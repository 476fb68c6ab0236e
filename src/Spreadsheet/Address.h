// A1-style cell addresses as the spreadsheet application writes and parses them:
// column letters, single cells ("B7", "$B$7"), ranges ("A2:F11"), whole rows ("7:7")
// and whole columns ("A:C"). Rows count 1..1,048,576, columns 1..16,384.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zentora::spreadsheet {

inline constexpr std::uint32_t kMaxRows = 1'048'576;
inline constexpr std::uint32_t kMaxColumns = 16'384;

// A rectangle of cells, all bounds inclusive and 1-based.
struct CellRange {
  std::uint32_t firstRow = 1;
  std::uint32_t firstColumn = 1;
  std::uint32_t lastRow = 1;
  std::uint32_t lastColumn = 1;

  bool operator==(const CellRange&) const = default;
};

// The column's letters ("A" for 1, "AA" for 27, "XFD" for 16,384); throws OutOfRange outside 1..16,384.
std::string ColumnLetters(std::uint32_t column);
// "B7" for row 7, column 2; throws OutOfRange outside the sheet.
std::string CellReference(std::uint32_t row, std::uint32_t column);
// The range as "A1" for one cell or "A1:C5"; whole rows and columns are written as cell ranges.
std::string RangeReference(const CellRange& range);

// Parses "B7" or "$B$7"; returns false (leaving the outputs unspecified) for anything else or out of range.
bool ParseCellReference(std::string_view text, std::uint32_t& row, std::uint32_t& column);
// Parses a cell, a range, a rows address ("3:5") or a columns address ("A:C"), corners in any order;
// throws InvalidArgument naming the address when it is malformed or outside the sheet.
CellRange ParseRangeAddress(std::string_view address);
// Parses a rows address ("7:7", "3:5", "$3:$5"); throws InvalidArgument naming the address otherwise.
CellRange ParseRowsAddress(std::string_view address);

}  // namespace zentora::spreadsheet
