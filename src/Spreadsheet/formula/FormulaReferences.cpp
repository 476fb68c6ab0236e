#include "FormulaReferences.h"

#include <array>
#include <charconv>
#include <optional>

#include "../Address.h"

namespace zentora::spreadsheet {

namespace {

constexpr std::string_view kReferenceError = "#REF!";
constexpr std::array<std::string_view, 16> kErrorLiterals = {
    "#NULL!",  "#DIV/0!", "#VALUE!", "#REF!",     "#NAME?",    "#NUM!",     "#N/A",   "#GETTING_DATA",
    "#SPILL!", "#CALC!",  "#FIELD!", "#BLOCKED!", "#UNKNOWN!", "#CONNECT!", "#BUSY!", "#PYTHON!"};

constexpr auto kLastRow = static_cast<std::int32_t>(kMaxRows);
constexpr auto kLastColumn = static_cast<std::int32_t>(kMaxColumns);

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Column number of letters "A" to "XFD" in either case; 0 when the text is no column of the sheet.
std::int32_t ColumnNumber(std::string_view letters) {
  if (letters.empty() || letters.size() > 3) return 0;
  std::int32_t column = 0;
  for (const char c : letters) {
    if (!IsAsciiLetter(c)) return 0;
    column = column * 26 + ((c | 0x20) - 'a' + 1);
  }
  return column <= kLastColumn ? column : 0;
}

// Bytes that may stand in a name, a function name, an unquoted sheet name, a number or an address.
bool IsWordByte(char c) {
  return IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.' || c == '\\' || c == '?' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Parses "$AB" (column only), "$12" (row only) or "$AB$12" (cell) as a whole word.
enum class CornerShape { Column, Row, Cell };
std::optional<ReferenceCorner> ParseCorner(std::string_view word, CornerShape shape) {
  ReferenceCorner corner;
  std::size_t pos = 0;
  if (shape != CornerShape::Row) {
    if (pos < word.size() && word[pos] == '$') {
      corner.columnAbsolute = true;
      ++pos;
    }
    const std::size_t lettersBegin = pos;
    while (pos < word.size() && IsAsciiLetter(word[pos])) ++pos;
    corner.column = ColumnNumber(word.substr(lettersBegin, pos - lettersBegin));
    if (corner.column == 0) return std::nullopt;
    if (shape == CornerShape::Column) return pos == word.size() ? std::optional(corner) : std::nullopt;
  }
  if (pos < word.size() && word[pos] == '$') {
    corner.rowAbsolute = true;
    ++pos;
  }
  if (pos >= word.size() || word[pos] < '1' || word[pos] > '9') return std::nullopt;
  const auto [end, error] = std::from_chars(word.data() + pos, word.data() + word.size(), corner.row);
  if (error != std::errc() || end != word.data() + word.size() || corner.row > kLastRow) return std::nullopt;
  return corner;
}

class Scanner {
 public:
  Scanner(std::string_view text, const std::function<void(FormulaReference&)>& visit)
      : text_(text), visit_(visit) {}

  void Run() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '"') {
        SkipString();
      } else if (c == '{') {
        SkipArrayConstant();
      } else if (c == '#') {
        SkipErrorLiteral();
      } else if (c == '\'') {
        QuotedSheetPrefix();
      } else if (c == '[') {
        BracketStart();
      } else if (IsWordByte(c)) {
        WordStart();
      } else {
        ++pos_;
      }
    }
  }

 private:
  void SkipString() {
    ++pos_;
    while (pos_ < text_.size()) {
      if (text_[pos_++] != '"') continue;
      if (pos_ < text_.size() && text_[pos_] == '"') {
        ++pos_;
      } else {
        return;
      }
    }
  }

  void SkipArrayConstant() {
    while (pos_ < text_.size() && text_[pos_] != '}') {
      if (text_[pos_] == '"') {
        SkipString();
      } else {
        ++pos_;
      }
    }
    if (pos_ < text_.size()) ++pos_;
  }

  // Length of the error literal at `at`, 0 when there is none.
  std::size_t ErrorLiteralLength(std::size_t at) const {
    for (const std::string_view literal : kErrorLiterals) {
      if (text_.substr(at).starts_with(literal)) return literal.size();
    }
    return 0;
  }

  void SkipErrorLiteral() {
    const std::size_t length = ErrorLiteralLength(pos_);
    pos_ += length == 0 ? 1 : length;
  }

  // A table reference "[Col]", "[[#This Row],[Col]]": brackets nest and ' escapes the next byte.
  void SkipBracketGroup() {
    int depth = 0;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '\'') {
        if (pos_ < text_.size()) ++pos_;
      } else if (c == '[') {
        ++depth;
      } else if (c == ']' && --depth == 0) {
        return;
      }
    }
  }

  std::string_view WordAt(std::size_t at) const {
    std::size_t end = at;
    while (end < text_.size() && IsWordByte(text_[end])) ++end;
    return text_.substr(at, end - at);
  }

  char ByteAt(std::size_t at) const { return at < text_.size() ? text_[at] : '\0'; }

  // 'Sheet name'!, 'Jan:Mar'!, '[1]Other book'! ; quotes inside are doubled.
  void QuotedSheetPrefix() {
    const std::size_t begin = pos_;
    std::string content;
    std::size_t at = pos_ + 1;
    bool closed = false;
    while (at < text_.size()) {
      const char c = text_[at++];
      if (c != '\'') {
        content += c;
      } else if (ByteAt(at) == '\'') {
        content += '\'';
        ++at;
      } else {
        closed = true;
        break;
      }
    }
    if (!closed || ByteAt(at) != '!') {
      pos_ = at;
      return;
    }
    FormulaReference reference;
    reference.begin = begin;
    reference.hasSheet = true;
    // Sheet names cannot hold "]", so one marks a workbook name ("[1]", or a path in display form).
    std::string_view names = content;
    if (const std::size_t close = names.rfind(']'); close != std::string_view::npos) {
      reference.external = true;
      names = names.substr(close + 1);
    }
    const std::size_t colon = names.find(':');
    reference.firstSheet = std::string(names.substr(0, colon));
    reference.lastSheet =
        colon == std::string_view::npos ? reference.firstSheet : std::string(names.substr(colon + 1));
    pos_ = at + 1;
    Target(std::move(reference));
  }

  // "[1]Sheet1!A1" and "[1]!Name" point into another workbook; any other "[" opens a table reference.
  void BracketStart() {
    std::size_t at = pos_ + 1;
    while (IsDigit(ByteAt(at))) ++at;
    if (at > pos_ + 1 && ByteAt(at) == ']') {
      const std::string_view sheet = WordAt(at + 1);
      if (ByteAt(at + 1 + sheet.size()) == '!') {
        FormulaReference reference;
        reference.begin = pos_;
        reference.hasSheet = true;
        reference.external = true;
        reference.firstSheet = reference.lastSheet = std::string(sheet);
        pos_ = at + 1 + sheet.size() + 1;
        Target(std::move(reference));
        return;
      }
    }
    SkipBracketGroup();
  }

  void WordStart() {
    const std::size_t begin = pos_;
    const std::string_view word = WordAt(pos_);
    const std::size_t after = pos_ + word.size();
    const char next = ByteAt(after);
    if (next == '(') {
      pos_ = after;
    } else if (next == '[') {
      pos_ = after;
      SkipBracketGroup();
    } else if (next == '!') {
      FormulaReference reference;
      reference.begin = begin;
      reference.hasSheet = true;
      reference.firstSheet = reference.lastSheet = std::string(word);
      pos_ = after + 1;
      Target(std::move(reference));
    } else if (next == ':' && ByteAt(after + 1 + WordAt(after + 1).size()) == '!') {
      const std::string_view lastSheet = WordAt(after + 1);
      FormulaReference reference;
      reference.begin = begin;
      reference.hasSheet = true;
      reference.firstSheet = std::string(word);
      reference.lastSheet = std::string(lastSheet);
      pos_ = after + 1 + lastSheet.size() + 1;
      Target(std::move(reference));
    } else {
      FormulaReference reference;
      reference.begin = begin;
      Target(std::move(reference));
    }
  }

  // The area after a sheet prefix (or without one) at pos_: #REF!, a cell, or a range of cells,
  // columns or rows. A word that is none of these (a name, a number, TRUE) is skipped.
  void Target(FormulaReference reference) {
    reference.areaBegin = pos_;
    if (reference.hasSheet && text_.substr(pos_).starts_with(kReferenceError)) {
      reference.kind = AreaKind::Error;
      reference.end = pos_ + kReferenceError.size();
      pos_ = reference.end;
      visit_(reference);
      return;
    }
    const std::string_view word = WordAt(pos_);
    if (word.empty()) return;
    const std::size_t after = pos_ + word.size();
    pos_ = after;
    if (ByteAt(after) == '(') return;
    if (ByteAt(after) == ':') {
      const std::string_view second = WordAt(after + 1);
      if (ByteAt(after + 1 + second.size()) != '!' && Area(reference, word, second)) {
        reference.end = after + 1 + second.size();
        pos_ = reference.end;
        visit_(reference);
        return;
      }
    }
    if (const auto cell = ParseCorner(word, CornerShape::Cell)) {
      reference.kind = AreaKind::Cell;
      reference.first = reference.last = *cell;
      reference.end = after;
      visit_(reference);
    }
  }

  static bool Area(FormulaReference& reference, std::string_view first, std::string_view last) {
    for (const auto& [shape, kind] : {std::pair{CornerShape::Cell, AreaKind::CellRange},
                                      std::pair{CornerShape::Column, AreaKind::ColumnRange},
                                      std::pair{CornerShape::Row, AreaKind::RowRange}}) {
      const auto firstCorner = ParseCorner(first, shape);
      const auto lastCorner = firstCorner ? ParseCorner(last, shape) : std::nullopt;
      if (lastCorner) {
        reference.kind = kind;
        reference.first = *firstCorner;
        reference.last = *lastCorner;
        return true;
      }
    }
    return false;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  const std::function<void(FormulaReference&)>& visit_;
};

}  // namespace

void ForEachReference(std::string_view formula, const std::function<void(FormulaReference&)>& visit) {
  Scanner(formula, visit).Run();
}

std::vector<FormulaReference> FindReferences(std::string_view formula) {
  std::vector<FormulaReference> found;
  ForEachReference(formula, [&](FormulaReference& reference) { found.push_back(std::move(reference)); });
  return found;
}

}  // namespace zentora::spreadsheet
