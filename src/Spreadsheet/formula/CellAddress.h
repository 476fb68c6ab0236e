// A1-style addresses as worksheets store them: the sheet's limits, column letters and the plain
// range addresses of `ref` and `sqref` attributes ("B2", "B2:D9"). No sheet names, no formulas.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentora::spreadsheet {

inline constexpr std::int32_t kMaxRow = 1048576;
inline constexpr std::int32_t kMaxColumn = 16384;

// Column number of letters "A" to "XFD" in either case; 0 when the text is no column of the sheet.
std::int32_t ColumnNumber(std::string_view letters);
// Upper-case letters of a column from 1 to kMaxColumn ("A", "AA", "XFD"); "" outside that span.
std::string ColumnLetters(std::int32_t column);

// A rectangle of cells; rows and columns count from 1 and first <= last.
struct CellRange {
  std::int32_t firstRow = 0;
  std::int32_t firstColumn = 0;
  std::int32_t lastRow = 0;
  std::int32_t lastColumn = 0;

  friend bool operator==(const CellRange&, const CellRange&) = default;
};

// Parses "B2" or "B2:D9" ($ marks allowed, corners in any order); nullopt for anything else.
std::optional<CellRange> ParseCellRange(std::string_view address);
// "B2" for a single cell, "B2:D9" otherwise; upper-case, without $ marks.
std::string FormatCellRange(const CellRange& range);

}  // namespace zentora::spreadsheet
