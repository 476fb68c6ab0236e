// Reading a worksheet part into the cell store: one streaming pass through expat. Top-level elements
// outside <sheetData> are kept as raw fragments; cells become compact records, charged to the
// workbook's memory budget as the store grows. Errors name the part and the cell.
#include "Worksheet.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "../Error.h"
#include "../package/Package.h"
#include "../workbook/Styles.h"
#include "../xml/XmlStream.h"
#include "../xml/XmlText.h"
#include "SheetValues.h"

namespace zentora::spreadsheet {
namespace {

using detail::AppendAttribute;
using detail::ParseDouble;
using detail::ParseNumber;

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
      if (std::size_t growth = windowCharged_.GrowthTo(window_.capacity()))
        NamingThePart([&] { Keep(growth); });
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
      if (std::size_t growth = collectedCharged_.GrowthTo(collecting_->size())) Keep(growth);
    } else if (section_ != Section::SheetData) {
      lastEventEnd_ = stream_->EventOffset() + stream_->EventLength();
    }
  }

 private:
  enum class Section { Other, SheetData, MergeCells, Columns };
  // A cell's t attribute, read once: "" and "n" are numbers, "str" and "inlineStr" texts.
  enum class ValueType { Number, Shared, Boolean, Error, Text, Other };
  static ValueType TypeOf(std::string_view type) {
    if (type.empty() || type == "n") return ValueType::Number;
    if (type == "s") return ValueType::Shared;
    if (type == "b") return ValueType::Boolean;
    if (type == "e") return ValueType::Error;
    if (type == "str" || type == "inlineStr") return ValueType::Text;
    return ValueType::Other;
  }

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
    if (std::size_t growth = arenaCharged_.GrowthTo(sheet_.arena_.capacity())) Keep(growth);
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
      std::pmr::vector<Worksheet::Cell>& cells = row_->cells;
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
    Worksheet::Row row(number, sheet_.cellMemory_.resource());
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
      AdviseHugePages(reinterpret_cast<char*>(rows.data()), rows.capacity() * sizeof(Worksheet::Row));
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
    valueType_ = ValueType::Number;
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
        valueType_ = TypeOf(type_);
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
    if (hasFormula_ || !otherAttributes_.empty() || valueType_ == ValueType::Other) {
      StoreDetail(cell);
    } else if (valueType_ == ValueType::Text) {
      std::string decoded;
      xml::AppendDecodedCellText(decoded, hasInline_ ? inlineStored_ : value_);
      cell.kind = Worksheet::Kind::Text;
      cell.text = {sheet_.AppendText(decoded), static_cast<std::uint32_t>(decoded.size())};
    } else if (value_.empty()) {
      cell.kind = Worksheet::Kind::Blank;
    } else if (valueType_ == ValueType::Shared) {
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
    } else if (valueType_ == ValueType::Boolean) {
      cell.kind = Worksheet::Kind::Boolean;
      cell.boolean = value_ == "1" || value_ == "true";
    } else if (valueType_ == ValueType::Error) {
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
    if (valueType_ == ValueType::Text) {
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
  ChargedSize windowCharged_;
  ChargedSize collectedCharged_;
  ChargedSize arenaCharged_;
  bool inCell_ = false;
  std::uint32_t column_ = 0;
  std::uint32_t style_ = 0;
  std::string type_;
  ValueType valueType_ = ValueType::Number;
  std::string value_;
  std::string otherAttributes_;
  bool hasFormula_ = false;
  Formula formula_;
  bool hasInline_ = false;
  std::string inlineStored_;
  int phoneticDepth_ = 0;
  std::string* collecting_ = nullptr;
};

void Worksheet::Read(
    const std::function<void(const std::function<void(const char*, std::size_t, bool)>&)>& feed) {
  SheetReader reader(*this);
  reader.Run(feed);
}

}  // namespace zentora::spreadsheet
