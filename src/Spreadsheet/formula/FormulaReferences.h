// Finds the cell references in a formula as a workbook file stores it (A1 style, no leading "=").
// Strings, array constants, structured table references, function names and defined names are
// recognised and skipped, so that only real references are reported; the text is never changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zentora::spreadsheet {

// One corner of a referenced area. A column range has no row (0), a row range no column (0).
struct ReferenceCorner {
  std::int32_t column = 0;
  std::int32_t row = 0;
  bool columnAbsolute = false;  // written with $ before the column letters
  bool rowAbsolute = false;     // written with $ before the row number
};

enum class AreaKind {
  Cell,         // B2
  CellRange,    // B2:D9
  ColumnRange,  // A:C
  RowRange,     // 3:5
  Error,        // #REF! after a sheet name, or alone
};

// A reference found in a formula, with byte positions into the scanned text.
struct FormulaReference {
  std::size_t begin = 0;      // first byte of the reference, sheet prefix included
  std::size_t areaBegin = 0;  // first byte after the sheet prefix's "!" (== begin without prefix)
  std::size_t end = 0;        // one past the last byte
  bool hasSheet = false;      // a sheet prefix is present
  bool external = false;      // the prefix names a sheet of another workbook ("[1]Sheet1!")
  std::string firstSheet;     // unquoted, unescaped sheet name; "" without prefix
  std::string lastSheet;      // last sheet of a 3-D span; equals firstSheet otherwise
  AreaKind kind = AreaKind::Cell;
  ReferenceCorner first;  // the only corner of a single cell
  ReferenceCorner last;   // equals first for a single cell
};

// Calls `visit` for each reference of `formula` in text order; not at all for a formula without
// references or for text that is no formula. Malformed parts are skipped as plain text.
void ForEachReference(std::string_view formula, const std::function<void(FormulaReference&)>& visit);
// The references of `formula` in text order, as ForEachReference finds them.
std::vector<FormulaReference> FindReferences(std::string_view formula);

}  // namespace zentora::spreadsheet
