// The workbook's cell formats (the <cellXfs> list of the styles part): which
// formats show numbers as dates or times, and the text-format ("@", number
// format 49) variant of each format, made once per distinct format and reused.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace zentora::spreadsheet {

// How a format shows a number.
enum class NumberKind : std::uint8_t { Plain, Date, Time, DateTime };

class Styles {
 public:
  // The application's defaults for a workbook without a styles part: one font, two fills, one border,
  // one cell format.
  Styles();
  // Reads `content` (the styles part, already vetted as well-formed without DOCTYPE); `where` names it
  // in messages. Throws NotAWorkbook when it is not a style sheet.
  Styles(const std::string& where, const std::string& content);

  // The number of cell formats; a cell's style index must be below it.
  std::uint32_t size() const { return static_cast<std::uint32_t>(numberKinds_.size()); }
  // How format `index` shows numbers (Plain for an index out of range).
  NumberKind KindOf(std::uint32_t index) const {
    return index < numberKinds_.size() ? numberKinds_[index] : NumberKind::Plain;
  }
  // The format equal to `index` except for number format 49 (text): an existing identical one or a new
  // one appended on first request. O(1) after the first call for each distinct `index`.
  std::uint32_t TextVariant(std::uint32_t index);
  // True once a format was added.
  bool changed() const { return changed_; }
  // The style sheet as a part.
  std::string Serialize() const;

 private:
  void Index();
  std::string KeyOf(const pugi::xml_node& format, const char* numberFormat) const;

  pugi::xml_document document_;
  pugi::xml_node cellFormats_;
  std::vector<pugi::xml_node> formats_;
  std::vector<NumberKind> numberKinds_;
  std::vector<std::int64_t> textVariants_;
  std::unordered_map<std::string, std::uint32_t> byKey_;
  bool changed_ = false;
};

// How a number format code shows numbers: a date when it has d, y or m (month) outside quoted text,
// brackets and escapes, a time when it has h or s, both when it has both. Only the first section counts.
NumberKind ClassifyFormatCode(std::string_view code);

}  // namespace zentora::spreadsheet
