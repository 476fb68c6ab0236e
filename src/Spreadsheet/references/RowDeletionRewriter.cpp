#include "RowDeletionRewriter.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../Error.h"
#include "../formula/ReferenceShift.h"
#include "internal/LinkedParts.h"
#include "internal/PartXml.h"
#include "internal/SheetItems.h"

namespace zentora::spreadsheet {

namespace {

using detail::ChildNamed;
using detail::LocalName;

constexpr std::string_view kOfficeDocumentType = "/officeDocument";

std::string_view AttributeOf(const Formula& formula, std::string_view name) {
  for (const auto& [key, value] : formula.attributes) {
    if (key == name) return value;
  }
  return {};
}

bool IsShared(const Formula& formula) { return AttributeOf(formula, "t") == "shared"; }

// True when a worksheet part holds a formula element (<f>, <x:f ...>): a byte search, no parse.
bool PartHasFormulas(std::string_view part) {
  for (std::size_t at = part.find('<'); at != std::string_view::npos; at = part.find('<', at + 1)) {
    std::size_t name = at + 1;
    constexpr std::string_view kNameEnd = "> /\t\r\n";
    const std::size_t colon = part.find_first_of(":> /\t\r\n", name);
    if (colon != std::string_view::npos && part[colon] == ':') name = colon + 1;
    if (name + 1 < part.size() && part[name] == 'f' &&
        kNameEnd.find(part[name + 1]) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

// Gives every cell of a shared formula group its own text, computed from the group's first cell, so
// that the group survives the deletion of that cell. `oldRow` maps a current row to the row the cell
// stood in when the group's texts were written (they differ on a sheet whose rows were just deleted).
// A cell whose group has no first cell keeps its shared mark; the application drops such formulas.
template <typename OldRow>
void ExpandSharedFormulas(Worksheet& sheet, OldRow oldRow) {
  struct Master {
    std::int32_t row;
    std::int32_t column;
    std::string text;
  };
  std::map<std::string, Master, std::less<>> masters;
  sheet.ForEachFormula([&](std::uint32_t row, std::uint32_t column, Formula& formula) {
    if (IsShared(formula) && !AttributeOf(formula, "ref").empty() && !formula.text.empty()) {
      masters.emplace(AttributeOf(formula, "si"), Master{oldRow(static_cast<std::int32_t>(row)),
                                                         static_cast<std::int32_t>(column), formula.text});
    }
  });
  if (masters.empty()) return;
  sheet.ForEachFormula([&](std::uint32_t row, std::uint32_t column, Formula& formula) {
    if (!IsShared(formula)) return;
    const auto master = masters.find(AttributeOf(formula, "si"));
    if (master == masters.end()) return;
    const Master& first = master->second;
    formula.text = TranslateFormula(first.text, oldRow(static_cast<std::int32_t>(row)) - first.row,
                                    static_cast<std::int32_t>(column) - first.column)
                       .text;
    std::erase_if(formula.attributes, [](const auto& attribute) {
      return attribute.first == "t" || attribute.first == "si" || attribute.first == "ref";
    });
  });
}

class RowDeletionRewriter {
 public:
  explicit RowDeletionRewriter(Workbook& workbook)
      : workbook_(workbook), formulas_(workbook.SheetCount(), Formulas::Unknown) {
    // Only the sheets read so far can lose rows before this rewriter sees them; the first one is
    // always read on open, the others are read here only when their parts hold formulas.
    Worksheet& first = workbook.FirstSheet();
    bool found = false;
    first.ForEachFormula([&](std::uint32_t, std::uint32_t, Formula&) { found = true; });
    formulas_[0] = found ? Formulas::Present : Formulas::None;
    if (found) ExpandSharedFormulas(first, [](std::int32_t row) { return row; });
  }

  void operator()(std::size_t sheetIndex, std::uint32_t first, std::uint32_t count) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < workbook_.SheetCount(); ++i) names.push_back(workbook_.SheetAt(i).name);
    const SheetOrder sheets(names);
    const RowDeletion deletion{names[sheetIndex], static_cast<std::int32_t>(first),
                               static_cast<std::int32_t>(first + count - 1)};

    bool anyFormula = false;
    const FormulaShift shift(deletion, sheets);
    for (std::size_t i = 0; i < workbook_.SheetCount(); ++i) {
      if (!HasFormulas(i, i == sheetIndex ? &deletion : nullptr)) continue;
      anyFormula = true;
      RewriteFormulas(i, shift);
    }
    RewriteWorkbookPart(deletion, sheets, anyFormula);
    if (!linkedParts_) linkedParts_ = detail::LinkedPartNames(workbook_.PartNames());
    detail::RewriteLinkedParts(workbook_, *linkedParts_, deletion, sheets);
    detail::RewriteSheetItems(workbook_, sheetIndex, deletion, sheets);
  }

 private:
  enum class Formulas { Unknown, None, Present };

  // Whether sheet `index` holds formulas, found out once: from the stored part's bytes, reading the
  // sheet (and expanding its shared formulas) only when there are some. `deletion` is set when the
  // sheet has just lost rows.
  bool HasFormulas(std::size_t index, const RowDeletion* deletion) {
    if (formulas_[index] == Formulas::Unknown) {
      const SheetEntry& entry = workbook_.SheetAt(index);
      formulas_[index] = Formulas::None;
      Worksheet* sheet = nullptr;
      try {
        if (entry.isWorksheet && !entry.partName.empty() &&
            PartHasFormulas(workbook_.PartContent(entry.partName))) {
          sheet = &workbook_.Sheet(index);
        }
      } catch (const Error& error) {
        // Another sheet that cannot be read does not stop the delete: its part is saved as stored,
        // with its formulas unchanged. The sheet that lost the rows is always readable (it is loaded).
        // A sheet that is too large to read in memory must not be left with formulas pointing at
        // the wrong rows, so that stops the delete.
        if (error.code() == ErrorCode::LimitExceeded) throw;
      }
      if (sheet != nullptr) {
        formulas_[index] = Formulas::Present;
        ExpandSharedFormulas(*sheet, [deletion](std::int32_t row) {
          return deletion == nullptr || row < deletion->firstRow ? row : row + deletion->count();
        });
      }
    }
    return formulas_[index] == Formulas::Present;
  }

  void RewriteFormulas(std::size_t index, const FormulaShift& shift) {
    Worksheet& sheet = workbook_.Sheet(index);
    const bool rowsDeletedHere = shift.IsDeletedSheet(workbook_.SheetAt(index).name);
    bool changed = false;
    sheet.ForEachFormula([&](std::uint32_t, std::uint32_t, Formula& formula) {
      Rewrite rewrite = shift.Apply(formula.text, rowsDeletedHere);
      if (rewrite.changed) {
        formula.text = std::move(rewrite.text);
        changed = true;
      }
      if (!rowsDeletedHere || AttributeOf(formula, "t") != "array") return;
      for (auto& [name, value] : formula.attributes) {
        if (name != "ref") continue;
        // The array's first cell is still there, so its range cannot vanish.
        Rewrite range = ShiftRangeListForRowDeletion(value, shift.deletion());
        if (range.changed && !range.text.empty()) {
          value = std::move(range.text);
          changed = true;
        }
      }
    });
    if (changed) sheet.MarkChanged();
  }

  // Defined names (print areas and titles included) follow the rows; when formulas exist the
  // workbook asks for full recalculation on load, as cached values may be stale.
  void RewriteWorkbookPart(const RowDeletion& deletion, const SheetOrder& sheets, bool anyFormula) {
    if (workbookPart_.empty()) {
      for (const Relationship& relationship : workbook_.RelationshipsOf("")) {
        if (!relationship.external && relationship.type.ends_with(kOfficeDocumentType)) {
          workbookPart_ = relationship.target;
        }
      }
      hasDefinedNames_ = workbook_.PartContent(workbookPart_).find("definedName") != std::string::npos;
    }
    const bool setCalculationFlag = anyFormula && !fullCalculationSet_;
    if (!hasDefinedNames_ && !setCalculationFlag) return;

    pugi::xml_document document;
    if (!detail::LoadXml(document, workbook_.PartContent(workbookPart_))) return;
    pugi::xml_node root = document.document_element();
    bool changed = false;
    if (pugi::xml_node names = ChildNamed(root, "definedNames")) {
      for (pugi::xml_node name = names.first_child(); name; name = name.next_sibling()) {
        if (name.type() != pugi::node_element || LocalName(name) != "definedName") continue;
        const Rewrite rewrite = ShiftFormulaForRowDeletion(name.text().get(), "", deletion, sheets);
        if (rewrite.changed) {
          name.text().set(rewrite.text.c_str());
          changed = true;
        }
      }
    }
    if (setCalculationFlag) {
      MarkFullCalculation(root);
      fullCalculationSet_ = true;
      changed = true;
    }
    if (changed) workbook_.ReplacePart(workbookPart_, detail::SavePart(document));
  }

  static void MarkFullCalculation(pugi::xml_node root) {
    pugi::xml_node calculation = ChildNamed(root, "calcPr");
    if (!calculation) {
      // calcPr follows these elements in the workbook part's fixed order.
      pugi::xml_node before;
      for (const char* name : {"sheets", "functionGroups", "externalReferences", "definedNames"}) {
        if (pugi::xml_node node = ChildNamed(root, name)) before = node;
      }
      const std::string name = detail::PrefixOf(root) + "calcPr";
      calculation = before ? root.insert_child_after(name.c_str(), before) : root.append_child(name.c_str());
    }
    pugi::xml_attribute flag = calculation.attribute("fullCalcOnLoad");
    if (!flag) flag = calculation.append_attribute("fullCalcOnLoad");
    flag.set_value("1");
  }

  Workbook& workbook_;
  std::vector<Formulas> formulas_;
  std::string workbookPart_;
  std::optional<std::vector<std::string>>
      linkedParts_;  // charts and pivot caches, listed on the first delete
  bool hasDefinedNames_ = false;
  bool fullCalculationSet_ = false;
};

}  // namespace

void KeepReferencesOnRowDeletion(Workbook& workbook) {
  auto rewriter = std::make_shared<RowDeletionRewriter>(workbook);
  workbook.rowsDeleted = [rewriter](std::size_t sheet, std::uint32_t first, std::uint32_t count) {
    (*rewriter)(sheet, first, count);
  };
}

}  // namespace zentora::spreadsheet
