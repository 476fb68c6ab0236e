// Rewrites references when rows are deleted from a sheet with the rows below moving up, the way the
// spreadsheet application does it, and moves relative references when a formula is copied to another
// cell (how a shared formula's master text applies to the other cells of its group).
//
//   SheetOrder sheets({"Records", "Summary"});
//   RowDeletion deletion{"Records", 5, 5};
//   ShiftFormulaForRowDeletion("SUM(Records!B2:B9)", "Summary", deletion, sheets).text
//   // gives "SUM(Records!B2:B8)"
//
// Pure functions on texts; safe to use from several threads on different data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentora::spreadsheet {

// Rows firstRow to lastRow (from 1, inclusive) deleted from `sheet`; later rows move up.
struct RowDeletion {
  std::string sheet;
  std::int32_t firstRow = 0;
  std::int32_t lastRow = 0;

  // How far the rows below the deleted block move up.
  std::int32_t count() const { return lastRow - firstRow + 1; }
};

// The workbook's sheet names in tab order; names compare without regard to letter case.
class SheetOrder {
 public:
  // The names as the workbook lists its sheets; an empty list matches no name.
  explicit SheetOrder(const std::vector<std::string>& names);

  // Tab position of the sheet called `name`, from 0; nullopt when there is no such sheet.
  std::optional<std::size_t> Position(std::string_view name) const;
  // True when both texts name the same sheet (Unicode simple case folding).
  static bool SameName(std::string_view a, std::string_view b);

 private:
  std::vector<std::string> folded_;
};

// A block of rows, first <= last.
struct RowSpan {
  std::int32_t first = 0;
  std::int32_t last = 0;

  friend bool operator==(const RowSpan&, const RowSpan&) = default;
};

// Where `span` lies after the deletion: unchanged above it, moved up below it, shrunk where it
// overlapped; nullopt when every row of it was deleted. A span reaching the sheet's last row
// keeps reaching it. The deletion's sheet is not looked at.
std::optional<RowSpan> ShiftRowSpan(RowSpan span, const RowDeletion& deletion);

// A rewritten text and whether it differs from the input.
struct Rewrite {
  std::string text;
  bool changed = false;
};

// A deletion made ready for rewriting many formulas: the sheet names are compared once.
class FormulaShift {
 public:
  // Borrows `sheets`, which must outlive the shift.
  FormulaShift(RowDeletion deletion, const SheetOrder& sheets);

  // True when `sheet` names the sheet that lost the rows.
  bool IsDeletedSheet(std::string_view sheet) const;
  // Rewrites `formula` as ShiftFormulaForRowDeletion does; `onDeletedSheet` says whether the sheet the
  // formula lives on (meant by references without sheet name) is the one that lost the rows.
  Rewrite Apply(std::string_view formula, bool onDeletedSheet) const;
  // The deletion this shift applies.
  const RowDeletion& deletion() const { return deletion_; }

 private:
  RowDeletion deletion_;
  const SheetOrder& sheets_;
  std::string deletedSheet_;  // folded
  std::optional<std::size_t> deletedPosition_;
};

// Rewrites the references in `formula` (stored form, no "=") that point at the deleted rows:
// below them they move up, ranges across them shrink, and references wholly inside them become
// #REF! (keeping their sheet prefix: "Data!#REF!"). `home` is the sheet the formula lives on and
// is meant by references without sheet name; pass "" for a defined name, whose references without
// sheet name are then left alone. A 3-D reference whose span of sheets includes the deletion's sheet
// is rewritten too. Strings, names, table references and external references are never touched.
Rewrite ShiftFormulaForRowDeletion(std::string_view formula, std::string_view home,
                                   const RowDeletion& deletion, const SheetOrder& sheets);

// Moves the relative row and column parts of every reference by the offsets, as copying the formula
// that many rows down and columns right does; a reference moved off the sheet becomes #REF!.
Rewrite TranslateFormula(std::string_view formula, std::int32_t rows, std::int32_t columns);

// Rewrites a space-separated list of plain ranges ("A1:B2 D4", as in sqref and ref attributes):
// ranges move or shrink, ranges wholly deleted are dropped, so the result may be "". Entries that
// are no plain range are kept as they are.
Rewrite ShiftRangeListForRowDeletion(std::string_view ranges, const RowDeletion& deletion);

}  // namespace zentora::spreadsheet
