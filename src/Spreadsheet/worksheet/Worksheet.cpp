#include "Worksheet.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "../Error.h"
#include "../package/Package.h"
#include "../workbook/SharedStrings.h"
#include "../workbook/Styles.h"
#include "../xml/XmlStream.h"
#include "../xml/XmlText.h"
#include "NumberText.h"

namespace zentora::spreadsheet {
namespace {

constexpr std::size_t kMaxCellText = 32'767;

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool ParseDouble(std::string_view text, double& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '+')) text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return !text.empty() && ParseNumber(text, value);
}

// Appends a number in its shortest exact form.
template <typename Number>
void AppendNumber(std::string& out, Number value) {
  char digits[32];
  auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

void AppendAttribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  xml::AppendEscaped(out, value, true);
  out += '"';
}

void AppendTextElement(std::string& out, const std::string& prefix, std::string_view text) {
  out += '<';
  out += prefix;
  out += xml::NeedsPreserveSpace(text) ? "t xml:space=\"preserve\">" : "t>";
  xml::AppendCellText(out, text);
  out += "</";
  out += prefix;
  out += "t>";
}

// Reads a decimal number that fills the C string `text`; false when it does not or exceeds 32 bits.
bool ReadUnsigned(const char* text, std::uint32_t& value) {
  std::uint64_t number = 0;
  const char* at = text;
  for (; *at >= '0' && *at <= '9'; ++at) {
    number = number * 10 + static_cast<std::uint64_t>(*at - '0');
    if (number > std::numeric_limits<std::uint32_t>::max()) return false;
  }
  value = static_cast<std::uint32_t>(number);
  return at != text && *at == '\0';
}

// Reads a cell reference ("B7") that fills the C string `text`; a fast path for the common plain form,
// anything else (such as "$B$7") goes through the general parser.
bool ReadCellReference(const char* text, std::uint32_t& row, std::uint32_t& column) {
  std::uint32_t letters = 0;
  const char* at = text;
  for (; *at >= 'A' && *at <= 'Z' && at - text < 3; ++at)
    letters = letters * 26 + static_cast<std::uint32_t>(*at - 'A' + 1);
  std::uint32_t number = 0;
  if (at != text && ReadUnsigned(at, number) && number >= 1 && number <= kMaxRows && letters <= kMaxColumns) {
    row = number;
    column = letters;
    return true;
  }
  return ParseCellReference(text, row, column);
}

// Gives every element tag in generated XML the root's namespace prefix ("c" -> "x:c").
std::string PrefixElements(std::string_view xml, const std::string& prefix) {
  std::string out;
  out.reserve(xml.size() + xml.size() / 4);
  for (char c : xml) {
    out.push_back(c);
    if (c == '<') out += prefix;
  }
  // "</" became "<x:/": move the slash in front of the prefix.
  std::string broken = "<" + prefix + "/";
  std::string fixed = "</" + prefix;
  for (std::size_t at = out.find(broken); at != std::string::npos; at = out.find(broken, at + fixed.size())) {
    out.replace(at, broken.size(), fixed);
  }
  return out;
}

}  // namespace

// Streams a worksheet part into the store. Bytes outside <sheetData> are kept in a window so that each
// top-level element can be copied raw; inside <sheetData> the window shrinks to the last event. What the
// store keeps is charged to the workbook's memory budget as it grows, so that a flood of small elements
// (empty rows, cells or attributes) is refused once it would cost more than the file may.
class SheetReader : public xml::XmlHandler {
 public:
  explicit SheetReader(Worksheet& sheet) : sheet_(sheet) {}

  void Run(const std::function<void(const std::function<void(const char*, std::size_t, bool)>&)>& feed) {
    xml::XmlStream stream(sheet_.context_.where, *this);
    stream_ = &stream;
    feed([&](const char* data, std::size_t size, bool last) {
      window_.append(data, size);
      if (window_.capacity() > windowCharged_) {
        NamingThePart([&] { Keep(window_.capacity() - windowCharged_); });
        windowCharged_ = window_.capacity();
      }
      stream.Feed(data, size, last);
      std::uint64_t keepFrom = capturing_ ? captureStart_ : lastEventEnd_;
      if (keepFrom > windowStart_) {
        window_.erase(0, static_cast<std::size_t>(keepFrom - windowStart_));
        windowStart_ = keepFrom;
      }
    });
    if (sheet_.rootStartTag_.empty())
      throw Error(ErrorCode::NotAWorkbook, sheet_.context_.where + ": no worksheet element");
    NamingThePart([&] { Settle(); });
  }

  void StartElement(std::string_view name, const char** attributes) override {
    ++depth_;
    if (section_ == Section::SheetData && depth_ >= 3) {
      StartInSheetData(name, attributes);  // byte offsets are only needed outside <sheetData>
      return;
    }
    std::uint64_t offset = stream_->EventOffset();
    std::uint64_t end = offset + stream_->EventLength();
    if (depth_ == 1) {
      if (name != "worksheet") Fail("the root element is <" + std::string(name) + ">, not <worksheet>");
      sheet_.rootStartTag_ = Raw(offset, end);
    } else if (depth_ == 2) {
      StartTopLevel(name, offset, end);
    } else if (depth_ == 3 && section_ == Section::MergeCells && name == "mergeCell") {
      const char* reference = xml::FindAttribute(attributes, "ref");
      CellRange range;
      try {
        range = ParseRangeAddress(reference == nullptr ? "" : reference);
      } catch (const Error&) {
        Fail("malformed merged range \"" + std::string(reference == nullptr ? "" : reference) + "\"");
      }
      sheet_.merged_.push_back(range);
      Keep(sizeof range);
    } else if (depth_ == 3 && section_ == Section::Columns && name == "col") {
      ReadColumnStyle(attributes);
    }
    lastEventEnd_ = end;
  }

  void EndElement(std::string_view name) override {
    if (section_ == Section::SheetData && depth_ >= 3) {
      EndInSheetData(name);
      // The window of raw bytes need not reach back further than the last complete row.
      if (depth_-- == 3) lastEventEnd_ = stream_->EventOffset() + stream_->EventLength();
      return;
    }
    std::uint64_t end = stream_->EventOffset() + stream_->EventLength();
    if (depth_ == 2) {
      if (capturing_) {
        end = std::max(end, captureStartTagEnd_);
        sheet_.fragments_.push_back({std::string(name), Raw(captureStart_, end)});
        Keep(sizeof(SheetFragment) + sheet_.fragments_.back().xml.size());
        capturing_ = false;
      }
      section_ = Section::Other;
    }
    --depth_;
    lastEventEnd_ = std::max(lastEventEnd_, end);
  }

  void Characters(std::string_view text) override {
    if (collecting_ != nullptr) {
      collecting_->append(text);
      if (collecting_->size() > collectedCharged_) {
        Keep(collecting_->size() - collectedCharged_);
        collectedCharged_ = collecting_->size();
      }
    } else if (section_ != Section::SheetData) {
      lastEventEnd_ = stream_->EventOffset() + stream_->EventLength();
    }
  }

 private:
  enum class Section { Other, SheetData, MergeCells, Columns };

  [[noreturn]] void Fail(const std::string& reason) { throw Error(ErrorCode::NotAWorkbook, reason); }

  // Counts `bytes` the store keeps; the budget is charged a megabyte at a time, not for every cell.
  void Keep(std::uint64_t bytes) {
    pending_ += bytes;
    if (pending_ >= (1u << 20)) Settle();
  }
  void Settle() {
    sheet_.context_.memory->Charge(pending_);
    pending_ = 0;
  }
  void KeepArena() {
    if (sheet_.arena_.capacity() <= arenaCharged_) return;
    Keep(sheet_.arena_.capacity() - arenaCharged_);
    arenaCharged_ = sheet_.arena_.capacity();
  }
  // Runs `charge` outside the parser, whose errors name the part on their own.
  template <typename Charge>
  void NamingThePart(Charge charge) {
    try {
      charge();
    } catch (const Error& error) {
      throw Error(error.code(), sheet_.context_.where + ": " + error.what());
    }
  }

  std::string Raw(std::uint64_t from, std::uint64_t to) const {
    return window_.substr(static_cast<std::size_t>(from - windowStart_), static_cast<std::size_t>(to - from));
  }

  void StartTopLevel(std::string_view name, std::uint64_t offset, std::uint64_t end) {
    // These are regenerated from the model, so a second one would be written twice.
    if (name == "sheetData" || name == "mergeCells" || name == "dimension") {
      for (const SheetFragment& fragment : sheet_.fragments_) {
        if (fragment.name == name) Fail("more than one <" + std::string(name) + "> element");
      }
    }
    if (name == "sheetData") {
      sheet_.fragments_.push_back({"sheetData", ""});
      section_ = Section::SheetData;
      return;
    }
    section_ = name == "mergeCells" ? Section::MergeCells
               : name == "cols"     ? Section::Columns
                                    : Section::Other;
    capturing_ = true;
    captureStart_ = offset;
    captureStartTagEnd_ = end;
  }

  void ReadColumnStyle(const char** attributes) {
    std::uint32_t first = 0, last = 0, style = 0;
    const char* min = xml::FindAttribute(attributes, "min");
    const char* max = xml::FindAttribute(attributes, "max");
    const char* styleText = xml::FindAttribute(attributes, "style");
    if (styleText == nullptr || min == nullptr || max == nullptr ||
        !ParseNumber(std::string_view(min), first) || !ParseNumber(std::string_view(max), last) ||
        !ParseNumber(std::string_view(styleText), style)) {
      return;
    }
    if (style >= sheet_.context_.styles->size())
      Fail("column style " + std::to_string(style) + " does not exist");
    sheet_.columnStyles_.emplace_back(first, last, style);
    Keep(sizeof sheet_.columnStyles_.back());
  }

  void StartInSheetData(std::string_view name, const char** attributes) {
    if (depth_ == 3 && name == "row") {
      StartRow(attributes);
    } else if (depth_ == 4 && name == "c") {
      StartCell(attributes);
    } else if (depth_ == 5 && inCell_) {
      if (name == "v") {
        value_.clear();
        collecting_ = &value_;
      } else if (name == "f") {
        hasFormula_ = true;
        formula_.text.clear();
        formula_.attributes.clear();
        for (std::size_t i = 0; attributes[i] != nullptr; i += 2) {
          formula_.attributes.emplace_back(attributes[i], attributes[i + 1]);
        }
        collecting_ = &formula_.text;
      } else if (name == "is") {
        hasInline_ = true;
        inlineStored_.clear();
      }
    } else if (hasInline_ && name == "rPh") {
      ++phoneticDepth_;
    } else if (hasInline_ && name == "t" && phoneticDepth_ == 0) {
      collecting_ = &inlineStored_;
    }
  }

  void EndInSheetData(std::string_view name) {
    if (depth_ == 3 && name == "row") {
      // A row reserves room for as many cells as the row before it; a much shorter row gives it back.
      std::vector<Worksheet::Cell>& cells = row_->cells;
      if (cells.capacity() > 2 * cells.size() + 4) cells.shrink_to_fit();
      Keep(cells.capacity() * sizeof(Worksheet::Cell));
      KeepArena();
      row_ = nullptr;
    } else if (depth_ == 4 && name == "c" && inCell_) {
      EndCell();
    } else if (name == "rPh" && phoneticDepth_ > 0) {
      --phoneticDepth_;
    } else {
      collecting_ = nullptr;
    }
  }

  void StartRow(const char** attributes) {
    std::uint32_t number = lastRow_ + 1;
    std::string other;
    for (std::size_t i = 0; attributes[i] != nullptr; i += 2) {
      std::string_view attribute = attributes[i];
      if (attribute == "r") {
        if (!ParseNumber(std::string_view(attributes[i + 1]), number) || number == 0 || number > kMaxRows) {
          Fail("row number \"" + std::string(attributes[i + 1]) + "\" is outside 1..1048576");
        }
      } else if (attribute != "spans") {
        AppendAttribute(other, attribute, attributes[i + 1]);
      }
    }
    if (number <= lastRow_)
      Fail("row " + std::to_string(number) + " comes after row " + std::to_string(lastRow_));
    if (number > kMaxRows) Fail("row " + std::to_string(number) + " is outside 1..1048576");
    lastRow_ = number;
    lastColumn_ = 0;
    Worksheet::Row row;
    row.number = number;
    row.cells.reserve(sheet_.rows_.empty() ? 0 : sheet_.rows_.back().cells.size());
    if (!other.empty()) {
      row.attributesOffset = sheet_.AppendText(other);
      row.attributesLength = static_cast<std::uint32_t>(other.size());
    }
    std::vector<Worksheet::Row>& rows = sheet_.rows_;
    if (rows.size() == rows.capacity()) {
      std::size_t grown = std::max<std::size_t>(64, 2 * rows.capacity());
      Keep((grown - rows.capacity()) * sizeof(Worksheet::Row));
      Settle();
      rows.reserve(grown);
    }
    rows.push_back(std::move(row));
    row_ = &rows.back();
  }

  void StartCell(const char** attributes) {
    if (row_ == nullptr) Fail("a cell outside a row");
    inCell_ = true;
    hasFormula_ = false;
    hasInline_ = false;
    value_.clear();
    type_.clear();
    otherAttributes_.clear();
    style_ = 0;
    column_ = lastColumn_ + 1;
    // Names and values are read straight from expat's C strings: this runs for every cell.
    for (std::size_t i = 0; attributes[i] != nullptr; i += 2) {
      const char* attribute = attributes[i];
      const char* value = attributes[i + 1];
      bool single = attribute[0] != '\0' && attribute[1] == '\0';
      if (single && attribute[0] == 'r') {
        std::uint32_t row = 0;
        if (!ReadCellReference(value, row, column_)) {
          Fail("cell reference \"" + std::string(value) + "\" is malformed or outside the sheet");
        }
        if (row != row_->number)
          Fail("cell " + std::string(value) + " is inside row " + std::to_string(row_->number));
      } else if (single && attribute[0] == 's') {
        if (!ReadUnsigned(value, style_)) Fail("style \"" + std::string(value) + "\" is not a number");
      } else if (single && attribute[0] == 't') {
        type_ = value;
      } else {
        AppendAttribute(otherAttributes_, attribute, value);
      }
    }
    if (column_ > kMaxColumns) Fail("a cell right of column XFD in row " + std::to_string(row_->number));
    if (column_ <= lastColumn_) {
      Fail("cell " + CellReference(row_->number, column_) + " comes after column " +
           ColumnLetters(lastColumn_));
    }
    if (style_ >= sheet_.context_.styles->size()) {
      Fail("cell " + CellReference(row_->number, column_) + " uses style " + std::to_string(style_) +
           ", but there are " + std::to_string(sheet_.context_.styles->size()));
    }
    lastColumn_ = column_;
  }

  void EndCell() {
    inCell_ = false;
    collecting_ = nullptr;
    Worksheet::Cell cell{};
    cell.column = static_cast<std::uint16_t>(column_);
    cell.style = style_;
    cell.kind = Worksheet::Kind::Blank;
    bool plainType = type_.empty() || type_ == "n" || type_ == "s" || type_ == "b" || type_ == "e" ||
                     type_ == "str" || type_ == "inlineStr";
    if (hasFormula_ || !otherAttributes_.empty() || !plainType) {
      StoreDetail(cell);
    } else if (type_ == "inlineStr" || type_ == "str") {
      std::string decoded;
      xml::AppendDecodedCellText(decoded, hasInline_ ? inlineStored_ : value_);
      cell.kind = Worksheet::Kind::Text;
      cell.text = {sheet_.AppendText(decoded), static_cast<std::uint32_t>(decoded.size())};
    } else if (value_.empty()) {
      cell.kind = Worksheet::Kind::Blank;
    } else if (type_ == "s") {
      std::uint32_t index = 0;
      if (!ParseNumber(std::string_view(value_), index)) {
        Fail("cell " + CellReference(row_->number, column_) + " refers to shared string \"" + value_ + "\"");
      }
      // Checked against the table once both are read (the table may be read on another thread).
      if (index >= sheet_.sharedIndexBound_) {
        sheet_.sharedIndexBound_ = index + 1;
        sheet_.sharedIndexRow_ = row_->number;
        sheet_.sharedIndexColumn_ = column_;
      }
      cell.kind = Worksheet::Kind::Shared;
      cell.index = index;
    } else if (type_ == "b") {
      cell.kind = Worksheet::Kind::Boolean;
      cell.boolean = value_ == "1" || value_ == "true";
    } else if (type_ == "e") {
      cell.kind = Worksheet::Kind::Error;
      cell.text = {sheet_.AppendText(value_), static_cast<std::uint32_t>(value_.size())};
    } else {
      if (!ParseDouble(value_, cell.number)) {
        Fail("cell " + CellReference(row_->number, column_) + " holds \"" + value_ +
             "\", which is not a number");
      }
      cell.kind = Worksheet::Kind::Number;
    }
    row_->cells.push_back(cell);
  }

  void StoreDetail(Worksheet::Cell& cell) {
    Worksheet::CellDetail detail;
    detail.hasFormula = hasFormula_;
    if (hasFormula_) detail.formula = std::move(formula_);
    detail.valueType = type_;
    if (type_ == "inlineStr" || type_ == "str") {
      xml::AppendDecodedCellText(detail.value, hasInline_ ? inlineStored_ : value_);
    } else {
      detail.value = value_;
    }
    detail.otherAttributes = otherAttributes_;
    cell.kind = Worksheet::Kind::Complex;
    cell.index = static_cast<std::uint32_t>(sheet_.details_.size());
    std::vector<Worksheet::CellDetail>& details = sheet_.details_;
    std::size_t capacity = details.capacity();
    Keep(detail.formula.text.size() + detail.value.size() + detail.otherAttributes.size());
    for (const auto& [name, value] : detail.formula.attributes) Keep(64 + name.size() + value.size());
    details.push_back(std::move(detail));
    Keep((details.capacity() - capacity) * sizeof(Worksheet::CellDetail));
  }

  Worksheet& sheet_;
  xml::XmlStream* stream_ = nullptr;
  std::string window_;
  std::uint64_t windowStart_ = 0;
  std::uint64_t lastEventEnd_ = 0;
  std::uint32_t depth_ = 0;
  Section section_ = Section::Other;
  bool capturing_ = false;
  std::uint64_t captureStart_ = 0;
  std::uint64_t captureStartTagEnd_ = 0;

  Worksheet::Row* row_ = nullptr;
  std::uint32_t lastRow_ = 0;
  std::uint32_t lastColumn_ = 0;
  // Charges to the memory budget not yet passed on, and the high-water marks already charged.
  std::uint64_t pending_ = 0;
  std::size_t windowCharged_ = 0;
  std::size_t collectedCharged_ = 0;
  std::size_t arenaCharged_ = 0;
  bool inCell_ = false;
  std::uint32_t column_ = 0;
  std::uint32_t style_ = 0;
  std::string type_;
  std::string value_;
  std::string otherAttributes_;
  bool hasFormula_ = false;
  Formula formula_;
  bool hasInline_ = false;
  std::string inlineStored_;
  int phoneticDepth_ = 0;
  std::string* collecting_ = nullptr;
};

Worksheet::Worksheet(SheetContext context) : context_(std::move(context)) {}

void Worksheet::Read(
    const std::function<void(const std::function<void(const char*, std::size_t, bool)>&)>& feed) {
  SheetReader reader(*this);
  reader.Run(feed);
}

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

const Worksheet::Row* Worksheet::FindRow(std::uint32_t row) const {
  if (row >= 1 && row <= rows_.size() && rows_[row - 1].number == row) return &rows_[row - 1];
  auto found =
      std::lower_bound(rows_.begin(), rows_.end(), row,
                       [](const Row& candidate, std::uint32_t number) { return candidate.number < number; });
  return found != rows_.end() && found->number == row ? &*found : nullptr;
}

Worksheet::Row& Worksheet::RowForWrite(std::uint32_t row) {
  if (const Row* existing = FindRow(row)) return const_cast<Row&>(*existing);
  auto position =
      std::lower_bound(rows_.begin(), rows_.end(), row,
                       [](const Row& candidate, std::uint32_t number) { return candidate.number < number; });
  Row created;
  created.number = row;
  return *rows_.insert(position, std::move(created));
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
  if (row == 0 || row > kMaxRows || column == 0 || column > kMaxColumns) {
    throw Error(ErrorCode::OutOfRange, context_.where + ": cell (" + std::to_string(row) + ", " +
                                           std::to_string(column) + ") is outside the sheet");
  }
  Row& target = RowForWrite(row);
  std::vector<Cell>& cells = target.cells;
  if (column <= cells.size() && cells[column - 1].column == column) return cells[column - 1];
  auto position =
      std::lower_bound(cells.begin(), cells.end(), column,
                       [](const Cell& cell, std::uint32_t wanted) { return cell.column < wanted; });
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
  if (row == 0 || row > kMaxRows || column == 0 || column > kMaxColumns) {
    throw Error(ErrorCode::OutOfRange, context_.where + ": cell (" + std::to_string(row) + ", " +
                                           std::to_string(column) + ") is outside the sheet");
  }
  const Row* found = FindRow(row);
  if (found == nullptr) return {};
  const std::vector<Cell>& cells = found->cells;
  const Cell* cell = nullptr;
  if (column <= cells.size() && cells[column - 1].column == column) {
    cell = &cells[column - 1];
  } else {
    auto position = std::lower_bound(
        cells.begin(), cells.end(), column,
        [](const Cell& candidate, std::uint32_t wanted) { return candidate.column < wanted; });
    if (position == cells.end() || position->column != column) return {};
    cell = &*position;
  }
  switch (cell->kind) {
    case Kind::Blank:
      return {};
    case Kind::Number:
      return NumberText(cell->number, context_.styles->KindOf(cell->style), context_.date1904);
    case Kind::Shared:
      return std::string(context_.sharedStrings->at(cell->index));
    case Kind::Text:
    case Kind::Error:
      return std::string(TextAt(cell->text.offset, cell->text.length));
    case Kind::Boolean:
      return cell->boolean ? "TRUE" : "FALSE";
    case Kind::Complex:
      break;
  }
  const CellDetail& detail = details_[cell->index];
  const std::string& type = detail.valueType;
  if (type == "b") return detail.value == "1" ? "TRUE" : detail.value.empty() ? "" : "FALSE";
  if (type == "s") {
    std::uint32_t index = 0;
    if (ParseNumber(std::string_view(detail.value), index) && index < context_.sharedStrings->size()) {
      return std::string(context_.sharedStrings->at(index));
    }
    return {};
  }
  double number = 0;
  if ((type.empty() || type == "n") && ParseDouble(detail.value, number)) {
    return NumberText(number, context_.styles->KindOf(cell->style), context_.date1904);
  }
  return detail.value;
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
  for (auto row = begin; row != rows_.end() && !formulasMoved_; ++row) {
    for (const Cell& cell : row->cells) {
      if (cell.kind == Kind::Complex && details_[cell.index].hasFormula) formulasMoved_ = true;
    }
  }
  auto moved = rows_.erase(begin, end);
  for (; moved != rows_.end(); ++moved) moved->number -= count;

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

void Worksheet::WriteCell(std::string& out, const Cell& cell, std::string_view rowNumber) const {
  out += "<c r=\"";
  std::uint32_t column = cell.column;
  char letters[4];
  int count = 0;
  while (column > 0) {
    letters[count++] = static_cast<char>('A' + (column - 1) % 26);
    column = (column - 1) / 26;
  }
  while (count > 0) out.push_back(letters[--count]);
  out += rowNumber;
  out += '"';
  if (cell.style != 0) {
    out += " s=\"";
    AppendNumber(out, cell.style);
    out += '"';
  }
  switch (cell.kind) {
    case Kind::Blank:
      out += "/>";
      return;
    case Kind::Number:
      out += "><v>";
      AppendNumber(out, cell.number);
      out += "</v></c>";
      return;
    case Kind::Shared:
      out += " t=\"s\"><v>";
      AppendNumber(out, cell.index);
      out += "</v></c>";
      return;
    case Kind::Text:
      out += " t=\"inlineStr\"><is>";
      AppendTextElement(out, "", TextAt(cell.text.offset, cell.text.length));
      out += "</is></c>";
      return;
    case Kind::Boolean:
      out += cell.boolean ? " t=\"b\"><v>1</v></c>" : " t=\"b\"><v>0</v></c>";
      return;
    case Kind::Error:
      out += " t=\"e\"><v>";
      xml::AppendEscaped(out, TextAt(cell.text.offset, cell.text.length), false);
      out += "</v></c>";
      return;
    case Kind::Complex:
      break;
  }
  const CellDetail& detail = details_[cell.index];
  if (!detail.valueType.empty()) AppendAttribute(out, "t", detail.valueType);
  out += detail.otherAttributes;
  out += '>';
  if (detail.hasFormula) {
    out += "<f";
    for (const auto& [name, value] : detail.formula.attributes) AppendAttribute(out, name, value);
    out += '>';
    xml::AppendEscaped(out, detail.formula.text, false);
    out += "</f>";
  }
  if (detail.valueType == "inlineStr") {
    out += "<is>";
    AppendTextElement(out, "", detail.value);
    out += "</is>";
  } else if (!detail.value.empty()) {
    out += "<v>";
    if (detail.valueType == "str") {
      xml::AppendCellText(out, detail.value);
    } else {
      xml::AppendEscaped(out, detail.value, false);
    }
    out += "</v>";
  }
  out += "</c>";
}

void Worksheet::Serialize(const std::function<void(std::string_view)>& write) const {
  std::string_view root = rootStartTag_;
  std::size_t nameEnd = root.find_first_of(" \t\r\n/>", 1);
  std::string rootName(root.substr(1, nameEnd - 1));
  std::size_t colon = rootName.find(':');
  std::string prefix = colon == std::string::npos ? "" : rootName.substr(0, colon + 1);

  constexpr std::size_t kPiece = 1 << 20;
  std::string out;
  out.reserve(kPiece + 64 * 1024);
  auto flush = [&] {
    write(out);
    out.clear();
  };
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  if (root.ends_with("/>")) {
    out.append(root.substr(0, root.size() - 2));
    out += '>';
  } else {
    out += root;
  }
  for (const SheetFragment& fragment : fragments_) {
    if (fragment.name == "dimension") {
      out += '<' + prefix + "dimension ref=\"" + DimensionReference() + "\"/>";
    } else if (fragment.name == "mergeCells") {
      if (merged_.empty()) continue;
      out += '<' + prefix + "mergeCells count=\"" + std::to_string(merged_.size()) + "\">";
      for (const CellRange& range : merged_)
        out += '<' + prefix + "mergeCell ref=\"" + RangeReference(range) + "\"/>";
      out += "</" + prefix + "mergeCells>";
    } else if (fragment.name == "sheetData") {
      out += '<' + prefix + "sheetData>";
      for (const Row& row : rows_) {
        if (row.cells.empty() && row.attributesLength == 0) continue;
        char digits[12];
        auto result = std::to_chars(digits, digits + sizeof digits, row.number);
        std::string_view number(digits, static_cast<std::size_t>(result.ptr - digits));
        out += '<' + prefix + "row r=\"";
        out += number;
        out += '"';
        out += TextAt(row.attributesOffset, row.attributesLength);
        if (row.cells.empty()) {
          out += "/>";
          continue;
        }
        out += '>';
        if (prefix.empty()) {
          for (const Cell& cell : row.cells) WriteCell(out, cell, number);
        } else {
          std::string cells;
          for (const Cell& cell : row.cells) WriteCell(cells, cell, number);
          out += PrefixElements(cells, prefix);
        }
        out += "</" + prefix + "row>";
        if (out.size() >= kPiece) flush();
      }
      out += "</" + prefix + "sheetData>";
    } else {
      out += fragment.xml;
      if (out.size() >= kPiece) flush();
    }
  }
  out += "</" + rootName + ">";
  flush();
}

}  // namespace zentora::spreadsheet
