// One worksheet held as a compact cell store: rows in a sorted vector, each
// with a sorted vector of 16-byte cell records (column, kind, style, value);
// texts live in an arena, formulas and rarely used cell details in a side
// table. The XML outside <sheetData> is kept as the raw fragments it was read
// as, so the sheet is written back with everything the engine does not model.
//
// Entry points for code that rewrites references (formulas, merged ranges,
// other top-level elements) after rows move: ForEachFormula, fragments(),
// mergedRanges(), MarkChanged(), and the workbook's rows-deleted hook, which
// DeleteRows calls after it moved the cells.
#pragma once

#include <cstdint>
#include <functional>
#include <memory_resource>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "../Address.h"
#include "../package/HugePages.h"

namespace zentora::spreadsheet {

class MemoryBudget;
class SharedStrings;
class Styles;

// A formula as stored on its cell: the text of <f> and its attributes (t, ref, si, ...) in order.
struct Formula {
  std::string text;
  std::vector<std::pair<std::string, std::string>> attributes;
};

// A top-level element of the worksheet outside <sheetData>, as raw XML. Elements named "sheetData",
// "dimension" and "mergeCells" are regenerated from the model on save; their `xml` is not used.
struct SheetFragment {
  std::string name;  // local name, e.g. "cols", "hyperlinks", "conditionalFormatting", "tableParts"
  std::string xml;   // the element's XML exactly as read (namespace prefixes as in the part)
};

// What a worksheet reads from its workbook.
struct SheetContext {
  std::string where;  // "<file>, part <name>" for messages
  const SharedStrings* sharedStrings;
  Styles* styles;
  bool date1904;
  MemoryBudget* memory;              // charged with what reading the sheet keeps
  std::uint64_t* changes = nullptr;  // the workbook's change counter, counted up by every change
};

class Worksheet {
 public:
  // A sheet with no content yet; Read fills it from its part.
  explicit Worksheet(SheetContext context);

  // Reads the sheet by streaming `feed`'s chunks through the parser. Throws NotAWorkbook naming the
  // part and the cell for references out of range or out of order, style indexes out of range and
  // malformed values; LimitExceeded when the memory budget runs out or the arena passes 4 GiB. Does not
  // touch the shared strings.
  void Read(const std::function<void(const std::function<void(const char*, std::size_t, bool)>&)>& feed);
  // Throws NotAWorkbook naming the cell when a cell refers past the end of the shared strings.
  void CheckSharedStringIndexes() const;
  // Writes the whole sheet part through `write`, in pieces of about a megabyte.
  void Serialize(const std::function<void(std::string_view)>& write) const;

  // The cell's text as the application shows it in an English locale ("" for an empty or absent cell).
  std::string CellText(std::uint32_t row, std::uint32_t column) const;
  // CellText of columns firstColumn..lastColumn of `row` into `texts`, one per column (none when
  // lastColumn comes first), reusing the storage of its strings: a row read in one pass.
  void RowTexts(std::uint32_t row, std::uint32_t firstColumn, std::uint32_t lastColumn,
                std::vector<std::string>& texts) const;
  // Stores `text` as an inline string, replacing value and formula; the style stays. A cell that
  // already holds exactly this text (and no formula) is left as it is and counts as no change. Throws
  // InvalidArgument for invalid UTF-8 or more than 32,767 UTF-16 units (nothing is written), OutOfRange
  // outside the sheet.
  void SetCellText(std::uint32_t row, std::uint32_t column, std::string_view text);
  // Gives the cell the text format (number format 49), keeping its other formatting; no change when
  // it has it already.
  void SetTextFormat(std::uint32_t row, std::uint32_t column);
  // Removes values and formulas in `range`; formats stay. A range without values is no change.
  void ClearContents(const CellRange& range);
  // Removes rows first..last; rows below move up with cells, heights and formats; merged ranges follow.
  // Calls `rowsDeleted` (when set) afterwards so that references elsewhere can follow.
  void DeleteRows(std::uint32_t first, std::uint32_t last);

  // Calls `visit` for every formula cell in row order; the formula may be changed in place.
  void ForEachFormula(const std::function<void(std::uint32_t row, std::uint32_t column, Formula&)>& visit);
  // The top-level elements outside <sheetData> in document order; change them and call MarkChanged.
  std::vector<SheetFragment>& fragments() { return fragments_; }
  // The merged ranges (regenerated into <mergeCells> on save).
  std::vector<CellRange>& mergedRanges() { return merged_; }
  // Makes the next save write this sheet and counts one change of the workbook. Every change of the
  // sheet goes through here.
  void MarkChanged() {
    changed_ = true;
    if (context_.changes != nullptr) ++*context_.changes;
  }
  // True when the sheet must be written on save.
  bool changed() const { return changed_; }
  // True when a formula was removed or moved since the sheet was read (the calculation chain is stale).
  bool formulasMoved() const { return formulasMoved_; }
  // The cells' bounding range as the <dimension> reference ("A1" for an empty sheet).
  std::string DimensionReference() const;
  // The number of the last row holding a cell; 0 for a sheet without cells.
  std::uint32_t LastCellRow() const;
  // Called by DeleteRows after the cells moved: (first deleted row, number of rows).
  std::function<void(std::uint32_t, std::uint32_t)> rowsDeleted;

 private:
  friend class SheetReader;

  enum class Kind : std::uint8_t { Blank, Number, Shared, Text, Boolean, Error, Complex };

  // A text in the sheet's arena.
  struct TextSpan {
    std::uint32_t offset;
    std::uint32_t length;
  };

  struct Cell {
    std::uint16_t column;
    Kind kind;
    std::uint8_t unused = 0;
    std::uint32_t style;
    union {
      double number;        // Number
      std::uint32_t index;  // Shared: shared string; Complex: detail record
      bool boolean;         // Boolean
      TextSpan text;        // Text, Error
    };
  };

  struct Row {
    Row(std::uint32_t rowNumber, std::pmr::memory_resource* memory) : number(rowNumber), cells(memory) {}
    std::uint32_t number;
    std::uint32_t attributesOffset = 0;  // raw attributes of <row> other than r and spans, in the arena
    std::uint32_t attributesLength = 0;
    std::pmr::vector<Cell> cells;  // in cellMemory_
  };

  // The parts of a cell the compact record does not hold: a formula, a cached value of any type,
  // or attributes other than r, s and t.
  struct CellDetail {
    bool hasFormula = false;
    Formula formula;
    std::string valueType;        // the cell's t attribute ("" for a number)
    std::string value;            // the cached value's text, escapes decoded
    std::string otherAttributes;  // raw, each with a leading space
  };

  // Throws OutOfRange naming the cell when it lies outside the sheet.
  void CheckCell(std::uint32_t row, std::uint32_t column) const;
  const Row* FindRow(std::uint32_t row) const;
  // The first of a row's `cells` at or after `column` (1 or more).
  template <typename Cells>
  static auto FirstCellFrom(Cells& cells, std::uint32_t column);
  // Sets `text`, empty on entry, to the cell's text as CellText gives it.
  void AssignText(const Cell& cell, std::string& text) const;
  Row& RowForWrite(std::uint32_t row);
  Cell& CellForWrite(std::uint32_t row, std::uint32_t column);
  std::uint32_t DefaultStyle(const Row* row, std::uint32_t column) const;
  std::uint32_t AppendText(std::string_view text);
  std::string_view TextAt(std::uint32_t offset, std::uint32_t length) const {
    return std::string_view(arena_).substr(offset, length);
  }
  void ForgetValue(Cell& cell);
  void WriteCell(std::string& out, const Cell& cell, std::string_view rowNumber) const;

  SheetContext context_;
  PooledMemory cellMemory_;  // before rows_, which it outlives
  std::vector<Row> rows_;
  std::string arena_;
  std::vector<CellDetail> details_;
  std::vector<SheetFragment> fragments_;
  std::vector<CellRange> merged_;
  std::string rootStartTag_;
  // Column default styles from <cols>: (first column, last column, style).
  std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> columnStyles_;
  bool changed_ = false;
  bool formulasMoved_ = false;
  // One past the largest shared-string index read, and the first cell that used it.
  std::size_t sharedIndexBound_ = 0;
  std::uint32_t sharedIndexRow_ = 0;
  std::uint32_t sharedIndexColumn_ = 0;
};

}  // namespace zentora::spreadsheet
