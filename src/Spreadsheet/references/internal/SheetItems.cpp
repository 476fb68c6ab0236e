#include "SheetItems.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "../../Address.h"
#include "../../Error.h"
#include "../../package/Package.h"
#include "PartXml.h"

namespace zentora::spreadsheet::detail {

namespace {

enum class Edit { Kept, Changed, Removed };

struct SheetScope {
  const std::string& sheetName;
  const RowDeletion& deletion;
  const SheetOrder& sheets;

  // Where a row that is still there stood before the deletion.
  std::int32_t OldRow(std::int32_t row) const {
    return row < deletion.firstRow ? row : row + deletion.count();
  }
};

std::optional<CellRange> FirstRange(std::string_view ranges) {
  try {
    return ParseRangeAddress(ranges.substr(0, ranges.find(' ')));
  } catch (const Error&) {
    return std::nullopt;
  }
}

// Rewrites a range-list attribute; Removed when every range of it was deleted.
Edit ShiftRangeAttribute(pugi::xml_node node, const char* name, const SheetScope& scope) {
  pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) return Edit::Kept;
  const Rewrite rewrite = ShiftRangeListForRowDeletion(attribute.value(), scope.deletion);
  if (!rewrite.changed) return Edit::Kept;
  if (rewrite.text.empty()) return Edit::Removed;
  attribute.set_value(rewrite.text.c_str());
  return Edit::Changed;
}

// A conditional format's or validation's formula is written for the top-left cell of its first range;
// when that cell changes, the formula is first moved to the new one, then shifted like any other.
// Rewrites every element below `node` whose local name is one of `names`; true when any changed.
bool RewriteAnchoredFormulas(pugi::xml_node node, std::initializer_list<std::string_view> names,
                             std::string_view oldRanges, std::string_view newRanges,
                             const SheetScope& scope) {
  std::int32_t rows = 0;
  std::int32_t columns = 0;
  const auto oldFirst = FirstRange(oldRanges);
  const auto newFirst = FirstRange(newRanges);
  if (oldFirst && newFirst) {
    rows = scope.OldRow(static_cast<std::int32_t>(newFirst->firstRow)) -
           static_cast<std::int32_t>(oldFirst->firstRow);
    columns =
        static_cast<std::int32_t>(newFirst->firstColumn) - static_cast<std::int32_t>(oldFirst->firstColumn);
  }
  bool changed = false;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    if (std::find(names.begin(), names.end(), LocalName(child)) == names.end()) {
      changed = RewriteAnchoredFormulas(child, names, oldRanges, newRanges, scope) || changed;
      continue;
    }
    const std::string before = child.text().get();
    const std::string moved =
        rows != 0 || columns != 0 ? TranslateFormula(before, rows, columns).text : before;
    const Rewrite rewrite = ShiftFormulaForRowDeletion(moved, scope.sheetName, scope.deletion, scope.sheets);
    if (rewrite.text != before) {
      child.text().set(rewrite.text.c_str());
      changed = true;
    }
  }
  return changed;
}

// An element with a sqref attribute and formula children (conditionalFormatting, dataValidation).
Edit EditRangedFormulas(pugi::xml_node element, const SheetScope& scope) {
  const std::string oldRanges = element.attribute("sqref").value();
  const Edit edit = ShiftRangeAttribute(element, "sqref", scope);
  if (edit == Edit::Removed) return edit;
  const bool formulasChanged = RewriteAnchoredFormulas(element, {"formula", "formula1", "formula2"},
                                                       oldRanges, element.attribute("sqref").value(), scope);
  return edit == Edit::Changed || formulasChanged ? Edit::Changed : Edit::Kept;
}

// The newer conditional formats and validations in the sheet's extension list keep their ranges in
// an <xm:sqref> element and their formulas in <xm:f> elements.
Edit EditExtensionItem(pugi::xml_node item, const SheetScope& scope) {
  pugi::xml_node ranges = ChildNamed(item, "sqref");
  if (!ranges) return Edit::Kept;
  const std::string oldRanges = ranges.text().get();
  const Rewrite rewrite = ShiftRangeListForRowDeletion(oldRanges, scope.deletion);
  if (rewrite.changed && rewrite.text.empty()) return Edit::Removed;
  if (rewrite.changed) ranges.text().set(rewrite.text.c_str());
  const bool formulasChanged = RewriteAnchoredFormulas(item, {"f"}, oldRanges, ranges.text().get(), scope);
  return rewrite.changed || formulasChanged ? Edit::Changed : Edit::Kept;
}

// Removes the element children for which `edit` says Removed; Removed when none is left.
template <typename EditChild>
Edit EditChildren(pugi::xml_node parent, std::string_view childName, EditChild edit) {
  bool changed = false;
  std::size_t kept = 0;
  for (pugi::xml_node child = parent.first_child(); child;) {
    const pugi::xml_node next = child.next_sibling();
    if (child.type() == pugi::node_element && LocalName(child) == childName) {
      const Edit result = edit(child);
      if (result == Edit::Removed) {
        parent.remove_child(child);
      } else {
        ++kept;
      }
      changed = changed || result != Edit::Kept;
    }
    child = next;
  }
  if (!changed) return Edit::Kept;
  if (kept == 0) return Edit::Removed;
  if (parent.attribute("count")) parent.attribute("count").set_value(std::to_string(kept).c_str());
  return Edit::Changed;
}

// A manual page break <brk id="k"> sits above row k + 1 and goes with that row.
Edit EditRowBreaks(pugi::xml_node breaks, const RowDeletion& deletion) {
  const Edit edit = EditChildren(breaks, "brk", [&](pugi::xml_node brk) {
    const std::int32_t rowBelow = brk.attribute("id").as_int() + 1;
    if (rowBelow < deletion.firstRow) return Edit::Kept;
    if (rowBelow <= deletion.lastRow) return Edit::Removed;
    brk.attribute("id").set_value(rowBelow - 1 - deletion.count());
    return Edit::Changed;
  });
  if (edit == Edit::Changed && breaks.attribute("manualBreakCount")) {
    std::size_t manual = 0;
    for (pugi::xml_node brk = breaks.first_child(); brk; brk = brk.next_sibling()) {
      if (brk.attribute("man").as_bool()) ++manual;
    }
    breaks.attribute("manualBreakCount").set_value(manual);
  }
  return edit;
}

Edit EditExtensions(pugi::xml_node extensions, const SheetScope& scope) {
  bool changed = false;
  for (pugi::xml_node extension = extensions.first_child(); extension;) {
    const pugi::xml_node nextExtension = extension.next_sibling();
    for (pugi::xml_node list = extension.first_child(); list;) {
      const pugi::xml_node next = list.next_sibling();
      const std::string_view name = LocalName(list);
      const std::string_view itemName = name == "conditionalFormattings" ? "conditionalFormatting"
                                        : name == "dataValidations"      ? "dataValidation"
                                                                         : "";
      if (!itemName.empty()) {
        const Edit edit =
            EditChildren(list, itemName, [&](pugi::xml_node item) { return EditExtensionItem(item, scope); });
        if (edit == Edit::Removed) {
          extension.remove_child(list);
          if (!extension.first_child()) extensions.remove_child(extension);
        }
        changed = changed || edit != Edit::Kept;
      }
      list = next;
    }
    extension = nextExtension;
  }
  if (!changed) return Edit::Kept;
  return extensions.first_child() ? Edit::Changed : Edit::Removed;
}

Edit EditFragment(std::string_view name, pugi::xml_node root, const SheetScope& scope) {
  if (name == "hyperlinks") {
    return EditChildren(root, "hyperlink",
                        [&](pugi::xml_node link) { return ShiftRangeAttribute(link, "ref", scope); });
  }
  if (name == "conditionalFormatting") return EditRangedFormulas(root, scope);
  if (name == "dataValidations") {
    return EditChildren(root, "dataValidation",
                        [&](pugi::xml_node validation) { return EditRangedFormulas(validation, scope); });
  }
  if (name == "autoFilter") return ShiftRangeAttribute(root, "ref", scope);
  if (name == "rowBreaks") return EditRowBreaks(root, scope.deletion);
  if (name == "extLst") return EditExtensions(root, scope);
  return Edit::Kept;
}

// A table goes with its header row: the application refuses to delete that row, and a table whose
// first row held data would no longer match its column names.
Edit EditTable(pugi::xml_node table, const SheetScope& scope) {
  const auto before = FirstRange(table.attribute("ref").value());
  if (!before) return Edit::Kept;
  const bool hasHeader = std::string_view(table.attribute("headerRowCount").as_string("1")) != "0";
  const auto firstRow = static_cast<std::int32_t>(before->firstRow);
  if (hasHeader && firstRow >= scope.deletion.firstRow && firstRow <= scope.deletion.lastRow)
    return Edit::Removed;
  const Edit edit = ShiftRangeAttribute(table, "ref", scope);
  if (edit != Edit::Changed) return edit;
  for (const char* child : {"autoFilter", "sortState"}) {
    pugi::xml_node node = ChildNamed(table, child);
    if (node && ShiftRangeAttribute(node, "ref", scope) == Edit::Removed) table.remove_child(node);
  }
  return Edit::Changed;
}

Edit EditComments(pugi::xml_node comments, const SheetScope& scope) {
  pugi::xml_node list = ChildNamed(comments, "commentList");
  if (!list) return Edit::Kept;
  const Edit edit = EditChildren(
      list, "comment", [&](pugi::xml_node comment) { return ShiftRangeAttribute(comment, "ref", scope); });
  return edit == Edit::Removed ? Edit::Changed : edit;
}

// A drawing row (counted from 0) after the deletion; a deleted row gives the first row below the gap.
std::int32_t DrawingRow(std::int32_t row, const RowDeletion& deletion) {
  const std::int32_t sheetRow = row + 1;
  if (sheetRow < deletion.firstRow) return row;
  if (sheetRow > deletion.lastRow) return row - deletion.count();
  return deletion.firstRow - 1;
}

bool IsDeletedDrawingRow(std::int32_t row, const RowDeletion& deletion) {
  return row + 1 >= deletion.firstRow && row + 1 <= deletion.lastRow;
}

// Moves one <xdr:from> or <xdr:to> marker; true when its row was deleted.
bool MoveMarker(pugi::xml_node marker, const RowDeletion& deletion, bool& changed) {
  pugi::xml_node row = ChildNamed(marker, "row");
  if (!row) return false;
  const std::int32_t before = row.text().as_int();
  const bool deleted = IsDeletedDrawingRow(before, deletion);
  const std::int32_t after = DrawingRow(before, deletion);
  if (after != before) {
    row.text().set(after);
    changed = true;
  }
  if (deleted) {
    if (pugi::xml_node offset = ChildNamed(marker, "rowOff")) offset.text().set(0);
  }
  return deleted;
}

// Anchors that move and size with their cells follow the rows; those that lay wholly in the deleted
// rows go with them. Absolute anchors stay where they are.
Edit EditDrawing(pugi::xml_node drawing, const SheetScope& scope) {
  bool changed = false;
  for (pugi::xml_node anchor = drawing.first_child(); anchor;) {
    const pugi::xml_node next = anchor.next_sibling();
    const std::string_view name = LocalName(anchor);
    if ((name == "twoCellAnchor" || name == "oneCellAnchor") &&
        std::string_view(anchor.attribute("editAs").value()) != "absolute") {
      const pugi::xml_node to = ChildNamed(anchor, "to");
      const bool fromDeleted = MoveMarker(ChildNamed(anchor, "from"), scope.deletion, changed);
      const bool toDeleted = to ? MoveMarker(to, scope.deletion, changed) : true;
      if (fromDeleted && toDeleted) {
        drawing.remove_child(anchor);
        changed = true;
      }
    }
    anchor = next;
  }
  return changed ? Edit::Changed : Edit::Kept;
}

// Where a start tag whose local name is `localName` ("shape" for <v:shape ...>) begins at or after
// `from`, and its qualified name; writers use any prefix (v:, ns0:, none).
struct TagAt {
  std::size_t begin = std::string_view::npos;
  std::string_view name;
};
TagAt FindStartTag(std::string_view text, std::string_view localName, std::size_t from) {
  for (std::size_t at = text.find('<', from); at != std::string_view::npos; at = text.find('<', at + 1)) {
    const std::size_t nameEnd = text.find_first_of(" \t\r\n/>", at + 1);
    if (nameEnd == std::string_view::npos) break;
    const std::string_view name = text.substr(at + 1, nameEnd - at - 1);
    if (name.empty() || name.front() == '/') continue;
    const std::size_t colon = name.find(':');
    if ((colon == std::string_view::npos ? name : name.substr(colon + 1)) == localName) return {at, name};
  }
  return {};
}

// The text inside the first element with local name `localName` in `block`: position and length.
struct TextAt {
  std::size_t begin;
  std::size_t length;
  std::string_view text;
};
std::optional<TextAt> ElementText(std::string_view block, std::string_view localName) {
  const TagAt tag = FindStartTag(block, localName, 0);
  const std::size_t textBegin = tag.begin + 1 + tag.name.size();
  if (tag.begin == std::string_view::npos || block.substr(textBegin, 1) != ">") return std::nullopt;
  const std::size_t end = block.find('<', textBegin + 1);
  if (end == std::string_view::npos) return std::nullopt;
  return TextAt{textBegin + 1, end - textBegin - 1, block.substr(textBegin + 1, end - textBegin - 1)};
}

// The VML shapes of notes carry their cell as <x:Row> (from 0) and their box as <x:Anchor> (eight
// numbers: column, offset, row, offset for the top-left and the bottom-right corner). VML is not
// always well-formed XML, so it is edited as text.
std::optional<std::string> EditNoteShapes(std::string_view vml, const SheetScope& scope) {
  std::string out;
  bool changed = false;
  std::size_t copied = 0;
  for (TagAt shape = FindStartTag(vml, "shape", 0); shape.begin != std::string_view::npos;) {
    const std::string closeTag = "</" + std::string(shape.name) + ">";
    const std::size_t close = vml.find(closeTag, shape.begin);
    if (close == std::string_view::npos) break;
    const std::size_t begin = shape.begin;
    const std::size_t end = close + closeTag.size();
    shape = FindStartTag(vml, "shape", end);
    std::string block(vml.substr(begin, end - begin));
    const auto row = ElementText(block, "Row");
    std::int32_t number = 0;
    if (!row ||
        std::from_chars(row->text.data(), row->text.data() + row->text.size(), number).ec != std::errc()) {
      continue;
    }
    out.append(vml.substr(copied, begin - copied));
    copied = end;
    if (IsDeletedDrawingRow(number, scope.deletion)) {
      changed = true;
      continue;
    }
    if (const auto anchor = ElementText(block, "Anchor")) {
      std::string numbers;
      std::size_t index = 0;
      for (std::size_t pos = 0; pos <= anchor->text.size(); ++index) {
        const std::size_t comma = std::min(anchor->text.find(',', pos), anchor->text.size());
        std::string item(anchor->text.substr(pos, comma - pos));
        std::int32_t value = 0;
        const std::size_t digits = item.find_first_not_of(' ');
        if ((index == 2 || index == 6) && digits != std::string::npos &&
            std::from_chars(item.data() + digits, item.data() + item.size(), value).ec == std::errc()) {
          item = item.substr(0, digits) + std::to_string(DrawingRow(value, scope.deletion));
        }
        numbers += (index == 0 ? "" : ",") + item;
        pos = comma + 1;
      }
      block.replace(anchor->begin, anchor->length, numbers);
    }
    const auto newRow = ElementText(block, "Row");
    block.replace(newRow->begin, newRow->length, std::to_string(DrawingRow(number, scope.deletion)));
    changed = changed || block != vml.substr(begin, end - begin);
    out += block;
  }
  if (!changed) return std::nullopt;
  out.append(vml.substr(copied));
  return out;
}

template <typename EditRoot>
Edit EditPart(Workbook& workbook, const std::string& partName, EditRoot edit) {
  pugi::xml_document document;
  if (!LoadXml(document, workbook.PartContent(partName))) return Edit::Kept;
  const Edit result = edit(document.document_element());
  if (result == Edit::Changed) workbook.ReplacePart(partName, SavePart(document));
  return result;
}

// Removes the sheet's relationships with the given ids.
void RemoveRelationships(Workbook& workbook, const std::string& sheetPart,
                         const std::vector<std::string>& ids) {
  if (ids.empty()) return;
  const std::string relationshipsPart = RelationshipsPartOf(sheetPart);
  EditPart(workbook, relationshipsPart, [&](pugi::xml_node root) {
    for (pugi::xml_node child = root.first_child(); child;) {
      const pugi::xml_node next = child.next_sibling();
      if (std::find(ids.begin(), ids.end(), child.attribute("Id").value()) != ids.end())
        root.remove_child(child);
      child = next;
    }
    return Edit::Changed;
  });
}

// Drops the <tablePart> elements of removed tables; true when the fragment changed.
Edit DropTableParts(pugi::xml_node tableParts, const std::vector<std::string>& removedIds) {
  return EditChildren(tableParts, "tablePart", [&](pugi::xml_node part) {
    for (pugi::xml_attribute attribute : part.attributes()) {
      const std::string_view name = attribute.name();
      if (name.ends_with(":id") &&
          std::find(removedIds.begin(), removedIds.end(), attribute.value()) != removedIds.end()) {
        return Edit::Removed;
      }
    }
    return Edit::Kept;
  });
}

}  // namespace

void RewriteSheetItems(Workbook& workbook, std::size_t sheetIndex, const RowDeletion& deletion,
                       const SheetOrder& sheets) {
  Worksheet& sheet = workbook.Sheet(sheetIndex);
  const std::string& sheetPart = workbook.SheetAt(sheetIndex).partName;
  const SheetScope scope{workbook.SheetAt(sheetIndex).name, deletion, sheets};
  std::vector<SheetFragment>& fragments = sheet.fragments();

  bool hasRelatedParts = false;
  for (auto fragment = fragments.begin(); fragment != fragments.end();) {
    const std::string_view name = fragment->name;
    hasRelatedParts = hasRelatedParts || name == "tableParts" || name == "legacyDrawing" || name == "drawing";
    Edit edit = Edit::Kept;
    if (name == "hyperlinks" || name == "conditionalFormatting" || name == "dataValidations" ||
        name == "autoFilter" || name == "rowBreaks" || name == "extLst") {
      pugi::xml_document document;
      if (LoadXml(document, fragment->xml)) edit = EditFragment(name, document.document_element(), scope);
      if (edit == Edit::Changed) fragment->xml = SaveXml(document);
    }
    if (edit != Edit::Kept) sheet.MarkChanged();
    fragment = edit == Edit::Removed ? fragments.erase(fragment) : fragment + 1;
  }
  if (!hasRelatedParts) return;

  std::vector<std::string> removedTables;
  for (const Relationship& relationship : workbook.RelationshipsOf(sheetPart)) {
    if (relationship.external) continue;
    const std::string_view type = relationship.type;
    if (type.ends_with("/table")) {
      if (EditPart(workbook, relationship.target,
                   [&](pugi::xml_node root) { return EditTable(root, scope); }) == Edit::Removed) {
        removedTables.push_back(relationship.id);
      }
    } else if (type.ends_with("/comments")) {
      EditPart(workbook, relationship.target, [&](pugi::xml_node root) { return EditComments(root, scope); });
    } else if (type.ends_with("/threadedComment")) {
      EditPart(workbook, relationship.target, [&](pugi::xml_node root) {
        const Edit edit = EditChildren(root, "threadedComment", [&](pugi::xml_node comment) {
          return ShiftRangeAttribute(comment, "ref", scope);
        });
        return edit == Edit::Removed ? Edit::Changed : edit;
      });
    } else if (type.ends_with("/drawing")) {
      EditPart(workbook, relationship.target, [&](pugi::xml_node root) { return EditDrawing(root, scope); });
    } else if (type.ends_with("/vmlDrawing")) {
      if (auto edited = EditNoteShapes(workbook.PartContent(relationship.target), scope)) {
        workbook.ReplacePart(relationship.target, std::move(*edited));
      }
    }
  }
  if (removedTables.empty()) return;
  RemoveRelationships(workbook, sheetPart, removedTables);
  for (auto fragment = fragments.begin(); fragment != fragments.end(); ++fragment) {
    if (fragment->name != "tableParts") continue;
    pugi::xml_document document;
    if (!LoadXml(document, fragment->xml)) break;
    if (DropTableParts(document.document_element(), removedTables) == Edit::Removed) {
      fragments.erase(fragment);
    } else {
      fragment->xml = SaveXml(document);
    }
    break;
  }
  sheet.MarkChanged();
}

}  // namespace zentora::spreadsheet::detail
