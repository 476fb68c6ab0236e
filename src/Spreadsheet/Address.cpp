#include "Address.h"

#include <algorithm>

#include "Error.h"

namespace zentora::spreadsheet {
namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads optional '$' and column letters at `pos`; 0 when there are none or they exceed the sheet.
std::uint32_t ReadColumn(std::string_view text, std::size_t& pos) {
  if (pos < text.size() && text[pos] == '$') ++pos;
  std::uint32_t column = 0;
  std::size_t start = pos;
  while (pos < text.size() && IsLetter(text[pos])) {
    column = column * 26 + static_cast<std::uint32_t>((text[pos] | 0x20) - 'a' + 1);
    if (column > kMaxColumns) return 0;
    ++pos;
  }
  return pos == start ? 0 : column;
}

// Reads optional '$' and row digits at `pos`; 0 when there are none or they exceed the sheet.
std::uint32_t ReadRow(std::string_view text, std::size_t& pos) {
  if (pos < text.size() && text[pos] == '$') ++pos;
  std::uint32_t row = 0;
  std::size_t start = pos;
  while (pos < text.size() && IsDigit(text[pos])) {
    row = row * 10 + static_cast<std::uint32_t>(text[pos] - '0');
    if (row > kMaxRows) return 0;
    ++pos;
  }
  return pos == start ? 0 : row;
}

enum class Corner { Cell, Row, Column };

bool ParseCorner(std::string_view text, Corner& kind, std::uint32_t& row, std::uint32_t& column) {
  std::size_t pos = 0;
  std::size_t save = pos;
  column = ReadColumn(text, pos);
  if (column == 0) {
    pos = save;
    row = ReadRow(text, pos);
    kind = Corner::Row;
    return row != 0 && pos == text.size();
  }
  if (pos == text.size()) {
    kind = Corner::Column;
    return true;
  }
  row = ReadRow(text, pos);
  kind = Corner::Cell;
  return row != 0 && pos == text.size();
}

[[noreturn]] void ThrowAddress(std::string_view address) {
  throw Error(ErrorCode::InvalidArgument,
              "malformed or out-of-sheet address \"" + std::string(address) + "\"");
}

}  // namespace

std::string ColumnLetters(std::uint32_t column) {
  if (column == 0 || column > kMaxColumns) {
    throw Error(ErrorCode::OutOfRange, "column " + std::to_string(column) + " is outside 1..16384");
  }
  char letters[4];
  int count = 0;
  while (column > 0) {
    std::uint32_t digit = (column - 1) % 26;
    letters[count++] = static_cast<char>('A' + digit);
    column = (column - 1) / 26;
  }
  std::string result;
  while (count > 0) result.push_back(letters[--count]);
  return result;
}

std::string CellReference(std::uint32_t row, std::uint32_t column) {
  if (row == 0 || row > kMaxRows) {
    throw Error(ErrorCode::OutOfRange, "row " + std::to_string(row) + " is outside 1..1048576");
  }
  return ColumnLetters(column) + std::to_string(row);
}

std::string RangeReference(const CellRange& range) {
  std::string first = CellReference(range.firstRow, range.firstColumn);
  if (range.firstRow == range.lastRow && range.firstColumn == range.lastColumn) return first;
  return first + ":" + CellReference(range.lastRow, range.lastColumn);
}

bool ParseCellReference(std::string_view text, std::uint32_t& row, std::uint32_t& column) {
  Corner kind;
  return ParseCorner(text, kind, row, column) && kind == Corner::Cell;
}

CellRange ParseRangeAddress(std::string_view address) {
  std::size_t colon = address.find(':');
  std::string_view first = address.substr(0, colon);
  std::string_view last = colon == std::string_view::npos ? first : address.substr(colon + 1);
  Corner firstKind, lastKind;
  std::uint32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  if (!ParseCorner(first, firstKind, r1, c1) || !ParseCorner(last, lastKind, r2, c2) ||
      firstKind != lastKind) {
    ThrowAddress(address);
  }
  if (firstKind == Corner::Row) {
    if (colon == std::string_view::npos) ThrowAddress(address);
    c1 = 1;
    c2 = kMaxColumns;
  } else if (firstKind == Corner::Column) {
    if (colon == std::string_view::npos) ThrowAddress(address);
    r1 = 1;
    r2 = kMaxRows;
  }
  return CellRange{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
}

CellRange ParseRowsAddress(std::string_view address) {
  std::size_t colon = address.find(':');
  if (colon == std::string_view::npos) ThrowAddress(address);
  std::string_view first = address.substr(0, colon);
  std::string_view last = address.substr(colon + 1);
  std::size_t pos1 = 0, pos2 = 0;
  std::uint32_t r1 = ReadRow(first, pos1);
  std::uint32_t r2 = ReadRow(last, pos2);
  if (r1 == 0 || r2 == 0 || pos1 != first.size() || pos2 != last.size()) ThrowAddress(address);
  return CellRange{std::min(r1, r2), 1, std::max(r1, r2), kMaxColumns};
}

}  // namespace zentora::spreadsheet
