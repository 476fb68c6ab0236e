#include "ReferenceShift.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <utility>

#include "../Address.h"
#include "../Error.h"
#include "FormulaReferences.h"

namespace zentora::spreadsheet {

namespace {

constexpr std::string_view kReferenceError = "#REF!";
constexpr auto kLastRow = static_cast<std::int32_t>(kMaxRows);
constexpr auto kLastColumn = static_cast<std::int32_t>(kMaxColumns);

// Simple case folding, code point by code point (full folding would equate "ß" and "ss").
std::string FoldCase(std::string_view name) {
  if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    std::string folded(name);
    for (char& c : folded) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
    return folded;
  }
  const auto text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<std::int32_t>(name.size())));
  icu::UnicodeString folded;
  for (std::int32_t pos = 0; pos < text.length(); pos = text.moveIndex32(pos, 1)) {
    folded.append(u_foldCase(text.char32At(pos), U_FOLD_CASE_DEFAULT));
  }
  std::string result;
  folded.toUTF8String(result);
  return result;
}

std::string RenderCorner(const ReferenceCorner& corner) {
  std::string text;
  if (corner.column != 0) {
    if (corner.columnAbsolute) text += '$';
    text += ColumnLetters(static_cast<std::uint32_t>(corner.column));
  }
  if (corner.row != 0) {
    if (corner.rowAbsolute) text += '$';
    text += std::to_string(corner.row);
  }
  return text;
}

std::string RenderArea(const FormulaReference& reference) {
  std::string text = RenderCorner(reference.first);
  if (reference.kind != AreaKind::Cell) text += ':' + RenderCorner(reference.last);
  return text;
}

enum class Outcome { Kept, Moved, Invalid };

// Copies `formula`, replacing the area of each reference that `change` moved (after changing the
// reference in place) or invalidated; the sheet prefix and all other text stay byte for byte.
template <typename Change>
Rewrite RewriteReferences(std::string_view formula, Change change) {
  Rewrite result;
  std::size_t copied = 0;
  ForEachReference(formula, [&](FormulaReference& reference) {
    const Outcome outcome = change(reference);
    if (outcome == Outcome::Kept) return;
    result.text.append(formula.substr(copied, reference.areaBegin - copied));
    result.text += outcome == Outcome::Invalid ? std::string(kReferenceError) : RenderArea(reference);
    copied = reference.end;
    result.changed = true;
  });
  if (!result.changed) {
    result.text = std::string(formula);
    return result;
  }
  result.text.append(formula.substr(copied));
  return result;
}

// Applies the deletion to the rows of a cell or a range of cells or rows.
Outcome ShiftRows(FormulaReference& reference, const RowDeletion& deletion) {
  if (reference.kind == AreaKind::ColumnRange || reference.kind == AreaKind::Error) return Outcome::Kept;
  const bool upward = reference.first.row > reference.last.row;
  const RowSpan before{std::min(reference.first.row, reference.last.row),
                       std::max(reference.first.row, reference.last.row)};
  const auto after = ShiftRowSpan(before, deletion);
  if (!after) return Outcome::Invalid;
  if (*after == before) return Outcome::Kept;
  (upward ? reference.last : reference.first).row = after->first;
  (upward ? reference.first : reference.last).row = after->last;
  return Outcome::Moved;
}

// Moves one corner's relative parts; false when that puts it off the sheet.
bool Translate(ReferenceCorner& corner, std::int32_t rows, std::int32_t columns) {
  if (corner.column != 0 && !corner.columnAbsolute) {
    corner.column += columns;
    if (corner.column < 1 || corner.column > kLastColumn) return false;
  }
  if (corner.row != 0 && !corner.rowAbsolute) {
    corner.row += rows;
    if (corner.row < 1 || corner.row > kLastRow) return false;
  }
  return true;
}

// True when a run of digits in `text` stands for a number of at least `least`. Every row number of a
// reference is such a run, so a formula without one cannot point at or below the deleted rows.
bool MentionsNumberFrom(std::string_view text, std::int32_t least) {
  std::int64_t number = -1;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      number = number < 0 ? c - '0' : std::min<std::int64_t>(number * 10 + (c - '0'), kLastRow + 1);
    } else {
      if (number >= least) return true;
      number = -1;
    }
  }
  return number >= least;
}

}  // namespace

SheetOrder::SheetOrder(const std::vector<std::string>& names) {
  folded_.reserve(names.size());
  for (const std::string& name : names) folded_.push_back(FoldCase(name));
}

std::optional<std::size_t> SheetOrder::Position(std::string_view name) const {
  const auto found = std::find(folded_.begin(), folded_.end(), FoldCase(name));
  if (found == folded_.end()) return std::nullopt;
  return static_cast<std::size_t>(found - folded_.begin());
}

bool SheetOrder::SameName(std::string_view a, std::string_view b) {
  return a == b || FoldCase(a) == FoldCase(b);
}

std::optional<RowSpan> ShiftRowSpan(RowSpan span, const RowDeletion& deletion) {
  const std::int32_t count = deletion.count();
  if (span.last < deletion.firstRow) return span;
  const bool reachesSheetEnd = span.last == kLastRow && span.first < span.last;
  RowSpan after;
  if (span.first > deletion.lastRow) {
    after = {span.first - count, span.last - count};
  } else if (span.first >= deletion.firstRow && span.last <= deletion.lastRow) {
    return std::nullopt;
  } else {
    after.first = std::min(span.first, deletion.firstRow);
    after.last = span.last > deletion.lastRow ? span.last - count : deletion.firstRow - 1;
  }
  if (reachesSheetEnd) after.last = kLastRow;
  return after;
}

FormulaShift::FormulaShift(RowDeletion deletion, const SheetOrder& sheets)
    : deletion_(std::move(deletion)),
      sheets_(sheets),
      deletedSheet_(FoldCase(deletion_.sheet)),
      deletedPosition_(sheets.Position(deletion_.sheet)) {}

bool FormulaShift::IsDeletedSheet(std::string_view sheet) const { return FoldCase(sheet) == deletedSheet_; }

Rewrite FormulaShift::Apply(std::string_view formula, bool onDeletedSheet) const {
  if (!MentionsNumberFrom(formula, deletion_.firstRow)) return {std::string(formula), false};
  const auto refersToDeletedSheet = [&](const FormulaReference& reference) {
    if (reference.external) return false;
    if (!reference.hasSheet) return onDeletedSheet;
    if (reference.firstSheet == reference.lastSheet) return IsDeletedSheet(reference.firstSheet);
    const auto first = sheets_.Position(reference.firstSheet);
    const auto last = sheets_.Position(reference.lastSheet);
    return first && last && deletedPosition_ && std::min(*first, *last) <= *deletedPosition_ &&
           *deletedPosition_ <= std::max(*first, *last);
  };
  return RewriteReferences(formula, [&](FormulaReference& reference) {
    return refersToDeletedSheet(reference) ? ShiftRows(reference, deletion_) : Outcome::Kept;
  });
}

Rewrite ShiftFormulaForRowDeletion(std::string_view formula, std::string_view home,
                                   const RowDeletion& deletion, const SheetOrder& sheets) {
  const FormulaShift shift(deletion, sheets);
  return shift.Apply(formula, !home.empty() && shift.IsDeletedSheet(home));
}

Rewrite TranslateFormula(std::string_view formula, std::int32_t rows, std::int32_t columns) {
  return RewriteReferences(formula, [&](FormulaReference& reference) {
    if (reference.kind == AreaKind::Error) return Outcome::Kept;
    const FormulaReference before = reference;
    if (!Translate(reference.first, rows, columns) || !Translate(reference.last, rows, columns)) {
      return Outcome::Invalid;
    }
    const bool same = reference.first.row == before.first.row &&
                      reference.first.column == before.first.column &&
                      reference.last.row == before.last.row && reference.last.column == before.last.column;
    return same ? Outcome::Kept : Outcome::Moved;
  });
}

Rewrite ShiftRangeListForRowDeletion(std::string_view ranges, const RowDeletion& deletion) {
  Rewrite result;
  std::size_t pos = 0;
  while (pos < ranges.size()) {
    const std::size_t space = std::min(ranges.find(' ', pos), ranges.size());
    const std::string_view entry = ranges.substr(pos, space - pos);
    pos = space + 1;
    if (entry.empty()) continue;
    std::string kept(entry);
    std::optional<CellRange> range;
    try {
      range = ParseRangeAddress(entry);
    } catch (const Error&) {
      // Not a plain range (a name, a stray token): kept as it is.
    }
    if (range) {
      const auto rows = ShiftRowSpan(
          {static_cast<std::int32_t>(range->firstRow), static_cast<std::int32_t>(range->lastRow)}, deletion);
      if (!rows) {
        result.changed = true;
        continue;
      }
      if (static_cast<std::uint32_t>(rows->first) != range->firstRow ||
          static_cast<std::uint32_t>(rows->last) != range->lastRow) {
        range->firstRow = static_cast<std::uint32_t>(rows->first);
        range->lastRow = static_cast<std::uint32_t>(rows->last);
        kept = RangeReference(*range);
        result.changed = true;
      }
    }
    if (!result.text.empty()) result.text += ' ';
    result.text += kept;
  }
  if (!result.changed) result.text = std::string(ranges);
  return result;
}

}  // namespace zentora::spreadsheet
