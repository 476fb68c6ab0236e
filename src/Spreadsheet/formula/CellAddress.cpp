#include "CellAddress.h"

#include <algorithm>
#include <charconv>

namespace zentora::spreadsheet {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// One corner "B2" or "$B$2": column and row, or nullopt.
std::optional<std::pair<std::int32_t, std::int32_t>> ParseCorner(std::string_view text) {
  std::size_t pos = 0;
  if (pos < text.size() && text[pos] == '$') ++pos;
  const std::size_t lettersBegin = pos;
  while (pos < text.size() && IsAsciiLetter(text[pos])) ++pos;
  const std::int32_t column = ColumnNumber(text.substr(lettersBegin, pos - lettersBegin));
  if (pos < text.size() && text[pos] == '$') ++pos;
  if (column == 0 || pos >= text.size() || text[pos] < '1' || text[pos] > '9') return std::nullopt;
  std::int32_t row = 0;
  const auto [end, error] = std::from_chars(text.data() + pos, text.data() + text.size(), row);
  if (error != std::errc() || end != text.data() + text.size() || row > kMaxRow) return std::nullopt;
  return std::pair{column, row};
}

}  // namespace

std::int32_t ColumnNumber(std::string_view letters) {
  if (letters.empty() || letters.size() > 3) return 0;
  std::int32_t column = 0;
  for (const char c : letters) {
    if (!IsAsciiLetter(c)) return 0;
    column = column * 26 + ((c | 0x20) - 'a' + 1);
  }
  return column <= kMaxColumn ? column : 0;
}

std::string ColumnLetters(std::int32_t column) {
  if (column < 1 || column > kMaxColumn) return {};
  std::string letters;
  while (column > 0) {
    const std::int32_t digit = (column - 1) % 26;
    letters.insert(letters.begin(), static_cast<char>('A' + digit));
    column = (column - 1) / 26;
  }
  return letters;
}

std::optional<CellRange> ParseCellRange(std::string_view address) {
  const std::size_t colon = address.find(':');
  const auto first = ParseCorner(address.substr(0, colon));
  if (!first) return std::nullopt;
  auto last = first;
  if (colon != std::string_view::npos) {
    last = ParseCorner(address.substr(colon + 1));
    if (!last) return std::nullopt;
  }
  return CellRange{std::min(first->second, last->second), std::min(first->first, last->first),
                   std::max(first->second, last->second), std::max(first->first, last->first)};
}

std::string FormatCellRange(const CellRange& range) {
  std::string text = ColumnLetters(range.firstColumn) + std::to_string(range.firstRow);
  if (range.lastRow != range.firstRow || range.lastColumn != range.firstColumn) {
    text += ':' + ColumnLetters(range.lastColumn) + std::to_string(range.lastRow);
  }
  return text;
}

}  // namespace zentora::spreadsheet
