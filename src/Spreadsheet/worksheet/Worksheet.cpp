// The cell store: rows in a sorted vector, cells in sorted vectors of compact records, texts in the
// arena. Lookups and edits are binary searches; every edit goes through MarkChanged. Reading lives in
// WorksheetReader.cpp, writing in WorksheetWriter.cpp.
#include "Worksheet.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "../Error.h"
#include "../workbook/SharedStrings.h"
#include "../workbook/Styles.h"
#include "../xml/XmlText.h"
#include "NumberText.h"
#include "SheetValues.h"

namespace zentora::spreadsheet {
namespace {

constexpr std::size_t kMaxCellText = 32'767;

}  // namespace

using detail::ParseDouble;
using detail::ParseNumber;

Worksheet::Worksheet(SheetContext context) : context_(std::move(context)) {}

void Worksheet::CheckSharedStringIndexes() const {
  std::size_t count = context_.sharedStrings->size();
  if (sharedIndexBound_ <= count) return;
  throw Error(ErrorCode::NotAWorkbook,
              context_.where + ": cell " + CellReference(sharedIndexRow_, sharedIndexColumn_) +
                  " refers to shared string \"" + std::to_string(sharedIndexBound_ - 1) +
                  "\", but there are " + std::to_string(count));
}

std::uint32_t Worksheet::AppendText(std::string_view text) {
  if (arena_.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw Error(ErrorCode::LimitExceeded, context_.where + ": more than 4 GiB of cell text");
  }
  auto offset = static_cast<std::uint32_t>(arena_.size());
  arena_.append(text);
  return offset;
}

void Worksheet::CheckCell(std::uint32_t row, std::uint32_t column) const {
  if (row == 0 || row > kMaxRows || column == 0 || column > kMaxColumns) {
    throw Error(ErrorCode::OutOfRange, context_.where + ": cell (" + std::to_string(row) + ", " +
                                           std::to_string(column) + ") is outside the sheet");
  }
}

const Worksheet::Row* Worksheet::FindRow(std::uint32_t row) const {
  if (row >= 1 && row <= rows_.size() && rows_[row - 1].number == row) return &rows_[row - 1];
  auto found =
      std::lower_bound(rows_.begin(), rows_.end(), row,
                       [](const Row& candidate, std::uint32_t number) { return candidate.number < number; });
  return found != rows_.end() && found->number == row ? &*found : nullptr;
}

template <typename Cells>
auto Worksheet::FirstCellFrom(Cells& cells, std::uint32_t column) {
  // Straight at its index when the row holds every column before it, else by binary search.
  if (column <= cells.size() && cells[column - 1].column == column) {
    return cells.begin() + (column - 1);
  }
  return std::lower_bound(cells.begin(), cells.end(), column,
                          [](const Cell& cell, std::uint32_t wanted) { return cell.column < wanted; });
}

Worksheet::Row& Worksheet::RowForWrite(std::uint32_t row) {
  if (const Row* existing = FindRow(row)) return const_cast<Row&>(*existing);
  auto position =
      std::lower_bound(rows_.begin(), rows_.end(), row,
                       [](const Row& candidate, std::uint32_t number) { return candidate.number < number; });
  return *rows_.insert(position, Row(row, cellMemory_.resource()));
}

std::uint32_t Worksheet::DefaultStyle(const Row* row, std::uint32_t column) const {
  if (row != nullptr && row->attributesLength != 0) {
    std::string_view attributes = TextAt(row->attributesOffset, row->attributesLength);
    std::size_t style = attributes.find(" s=\"");
    if (attributes.find("customFormat=\"1\"") != std::string_view::npos && style != std::string_view::npos) {
      std::string_view digits = attributes.substr(style + 4);
      digits = digits.substr(0, digits.find('"'));
      std::uint32_t value = 0;
      if (ParseNumber(digits, value) && value < context_.styles->size()) return value;
    }
  }
  for (const auto& [first, last, style] : columnStyles_) {
    if (column >= first && column <= last) return style;
  }
  return 0;
}

Worksheet::Cell& Worksheet::CellForWrite(std::uint32_t row, std::uint32_t column) {
  CheckCell(row, column);
  Row& target = RowForWrite(row);
  std::pmr::vector<Cell>& cells = target.cells;
  auto position = FirstCellFrom(cells, column);
  if (position != cells.end() && position->column == column) return *position;
  Cell created{};
  created.column = static_cast<std::uint16_t>(column);
  created.kind = Kind::Blank;
  created.style = DefaultStyle(&target, column);
  return *cells.insert(position, created);
}

void Worksheet::ForgetValue(Cell& cell) {
  if (cell.kind == Kind::Complex && details_[cell.index].hasFormula) formulasMoved_ = true;
  cell.kind = Kind::Blank;
  cell.number = 0;
}

std::string Worksheet::CellText(std::uint32_t row, std::uint32_t column) const {
  CheckCell(row, column);
  std::string text;
  if (const Row* found = FindRow(row)) {
    auto cell = FirstCellFrom(found->cells, column);
    if (cell != found->cells.end() && cell->column == column) AssignText(*cell, text);
  }
  return text;
}

void Worksheet::RowTexts(std::uint32_t row, std::uint32_t firstColumn, std::uint32_t lastColumn,
                         std::vector<std::string>& texts) const {
  CheckCell(row, firstColumn);
  CheckCell(row, std::max(firstColumn, lastColumn));
  texts.resize(lastColumn >= firstColumn ? lastColumn - firstColumn + 1 : 0);
  for (std::string& text : texts) text.clear();
  const Row* found = FindRow(row);
  if (found == nullptr) return;
  for (auto cell = FirstCellFrom(found->cells, firstColumn);
       cell != found->cells.end() && cell->column <= lastColumn; ++cell) {
    AssignText(*cell, texts[cell->column - firstColumn]);
  }
}

void Worksheet::AssignText(const Cell& cell, std::string& text) const {
  switch (cell.kind) {
    case Kind::Blank:
      return;
    case Kind::Number:
      text = NumberText(cell.number, context_.styles->KindOf(cell.style), context_.date1904);
      return;
    case Kind::Shared:
      text = context_.sharedStrings->at(cell.index);
      return;
    case Kind::Text:
    case Kind::Error:
      text = TextAt(cell.text.offset, cell.text.length);
      return;
    case Kind::Boolean:
      text = cell.boolean ? "TRUE" : "FALSE";
      return;
    case Kind::Complex:
      break;
  }
  const CellDetail& detail = details_[cell.index];
  const std::string& type = detail.valueType;
  if (type == "b") {
    text = detail.value == "1" ? "TRUE" : detail.value.empty() ? "" : "FALSE";
    return;
  }
  if (type == "s") {
    std::uint32_t index = 0;
    if (ParseNumber(std::string_view(detail.value), index) && index < context_.sharedStrings->size()) {
      text = context_.sharedStrings->at(index);
    }
    return;
  }
  double number = 0;
  if ((type.empty() || type == "n") && ParseDouble(detail.value, number)) {
    text = NumberText(number, context_.styles->KindOf(cell.style), context_.date1904);
    return;
  }
  text = detail.value;
}

void Worksheet::SetCellText(std::uint32_t row, std::uint32_t column, std::string_view text) {
  if (!xml::IsValidUtf8(text)) {
    throw Error(ErrorCode::InvalidArgument, context_.where + ": the text for cell (" + std::to_string(row) +
                                                ", " + std::to_string(column) + ") is not valid UTF-8");
  }
  if (text.size() > kMaxCellText && xml::Utf16Length(text) > kMaxCellText) {
    throw Error(ErrorCode::InvalidArgument, context_.where + ": the text for cell (" + std::to_string(row) +
                                                ", " + std::to_string(column) + ") has " +
                                                std::to_string(xml::Utf16Length(text)) +
                                                " characters, more than a cell holds (32767)");
  }
  Cell& cell = CellForWrite(row, column);
  bool same = (cell.kind == Kind::Blank && text.empty()) ||
              (cell.kind == Kind::Text && TextAt(cell.text.offset, cell.text.length) == text) ||
              (cell.kind == Kind::Shared && context_.sharedStrings->at(cell.index) == text);
  if (same) return;
  ForgetValue(cell);
  if (!text.empty()) {
    cell.kind = Kind::Text;
    cell.text = {AppendText(text), static_cast<std::uint32_t>(text.size())};
  }
  MarkChanged();
}

void Worksheet::SetTextFormat(std::uint32_t row, std::uint32_t column) {
  Cell& cell = CellForWrite(row, column);
  std::uint32_t variant = context_.styles->TextVariant(cell.style);
  if (variant == cell.style) return;
  cell.style = variant;
  MarkChanged();
}

void Worksheet::ClearContents(const CellRange& range) {
  auto row =
      std::lower_bound(rows_.begin(), rows_.end(), range.firstRow,
                       [](const Row& candidate, std::uint32_t number) { return candidate.number < number; });
  for (; row != rows_.end() && row->number <= range.lastRow; ++row) {
    for (Cell& cell : row->cells) {
      if (cell.column < range.firstColumn || cell.column > range.lastColumn || cell.kind == Kind::Blank)
        continue;
      ForgetValue(cell);
      MarkChanged();
    }
    std::erase_if(row->cells, [](const Cell& cell) { return cell.kind == Kind::Blank && cell.style == 0; });
  }
}

void Worksheet::DeleteRows(std::uint32_t first, std::uint32_t last) {
  if (first == 0 || last < first || last > kMaxRows) {
    throw Error(ErrorCode::OutOfRange, context_.where + ": rows " + std::to_string(first) + " to " +
                                           std::to_string(last) + " are outside the sheet");
  }
  std::uint32_t count = last - first + 1;
  auto begin =
      std::lower_bound(rows_.begin(), rows_.end(), first,
                       [](const Row& candidate, std::uint32_t number) { return candidate.number < number; });
  auto end = std::lower_bound(begin, rows_.end(), last + 1, [](const Row& candidate, std::uint32_t number) {
    return candidate.number < number;
  });
  // Formulas live in the cell details only: a sheet without details has none to move.
  for (auto row = begin; row != rows_.end() && !formulasMoved_ && !details_.empty(); ++row) {
    for (const Cell& cell : row->cells) {
      if (cell.kind == Kind::Complex && details_[cell.index].hasFormula) formulasMoved_ = true;
    }
  }
  // The rows below move up and are renumbered in the same pass.
  auto to = begin;
  for (auto from = end; from != rows_.end(); ++from, ++to) {
    if (to != from) *to = std::move(*from);  // equal when no row was stored in the deleted range
    to->number -= count;
  }
  rows_.erase(to, rows_.end());

  std::vector<CellRange> kept;
  for (CellRange range : merged_) {
    if (range.lastRow < first) {
      kept.push_back(range);
      continue;
    }
    if (range.firstRow > last) {
      range.firstRow -= count;
      range.lastRow -= count;
    } else {
      std::uint32_t newFirst = range.firstRow < first ? range.firstRow : first;
      if (range.lastRow <= last) {
        if (range.firstRow >= first) continue;  // wholly deleted
        range.lastRow = first - 1;
      } else {
        range.lastRow -= count;
      }
      range.firstRow = newFirst;
    }
    if (range.firstRow == range.lastRow && range.firstColumn == range.lastColumn) continue;
    kept.push_back(range);
  }
  merged_ = std::move(kept);
  MarkChanged();
  if (rowsDeleted) rowsDeleted(first, count);
}

void Worksheet::ForEachFormula(const std::function<void(std::uint32_t, std::uint32_t, Formula&)>& visit) {
  for (const Row& row : rows_) {
    for (const Cell& cell : row.cells) {
      if (cell.kind == Kind::Complex && details_[cell.index].hasFormula) {
        visit(row.number, cell.column, details_[cell.index].formula);
      }
    }
  }
}

std::uint32_t Worksheet::LastCellRow() const {
  for (auto row = rows_.rbegin(); row != rows_.rend(); ++row) {
    if (!row->cells.empty()) return row->number;
  }
  return 0;
}

std::string Worksheet::DimensionReference() const {
  CellRange bounds{0, kMaxColumns, 0, 0};
  for (const Row& row : rows_) {
    if (row.cells.empty()) continue;
    if (bounds.firstRow == 0) bounds.firstRow = row.number;
    bounds.lastRow = row.number;
    bounds.firstColumn = std::min<std::uint32_t>(bounds.firstColumn, row.cells.front().column);
    bounds.lastColumn = std::max<std::uint32_t>(bounds.lastColumn, row.cells.back().column);
  }
  if (bounds.firstRow == 0) return "A1";
  return RangeReference(bounds);
}

}  // namespace zentora::spreadsheet
