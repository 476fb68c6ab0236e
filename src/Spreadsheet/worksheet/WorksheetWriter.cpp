// Writing the cell store back as a worksheet part: the kept fragments in document order, with
// <dimension>, <sheetData> and <mergeCells> generated from the model, handed out in pieces of about a
// megabyte so that a large sheet is never held whole.
#include "Worksheet.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "../xml/XmlText.h"
#include "SheetValues.h"

namespace zentora::spreadsheet {
namespace {

using detail::AppendAttribute;

// Appends a number in its shortest exact form.
template <typename Number>
void AppendNumber(std::string& out, Number value) {
  char digits[32];
  auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
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
