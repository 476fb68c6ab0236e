#include "LinkedParts.h"

#include "PartXml.h"

namespace zentora::spreadsheet::detail {

namespace {

bool IsChart(std::string_view part) {
  return part.find("/charts/") != std::string_view::npos && part.find("/_rels/") == std::string_view::npos &&
         part.ends_with(".xml");
}

bool IsPivotCacheDefinition(std::string_view part) {
  return part.find("/pivotCacheDefinition") != std::string_view::npos &&
         part.find("/_rels/") == std::string_view::npos && part.ends_with(".xml");
}

// Rewrites the text of every <c:f> below `node`; true when any changed.
bool RewriteChartFormulas(pugi::xml_node node, const RowDeletion& deletion, const SheetOrder& sheets) {
  bool changed = false;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    if (LocalName(child) != "f") {
      changed = RewriteChartFormulas(child, deletion, sheets) || changed;
      continue;
    }
    const Rewrite rewrite = ShiftFormulaForRowDeletion(child.text().get(), "", deletion, sheets);
    if (rewrite.changed) {
      child.text().set(rewrite.text.c_str());
      changed = true;
    }
  }
  return changed;
}

// A pivot cache reads <cacheSource><worksheetSource ref="A1:D11" sheet="Records"/>; a source given
// by name instead of ref follows through the defined name or table.
bool RewritePivotSource(pugi::xml_node definition, const RowDeletion& deletion) {
  const pugi::xml_node source = ChildNamed(ChildNamed(definition, "cacheSource"), "worksheetSource");
  pugi::xml_attribute reference = source.attribute("ref");
  if (!reference || !SheetOrder::SameName(source.attribute("sheet").value(), deletion.sheet)) return false;
  const Rewrite rewrite = ShiftRangeListForRowDeletion(reference.value(), deletion);
  // A source wholly deleted keeps its old range: the application reports it when the pivot is refreshed.
  if (!rewrite.changed || rewrite.text.empty()) return false;
  reference.set_value(rewrite.text.c_str());
  return true;
}

}  // namespace

std::vector<std::string> LinkedPartNames(const std::vector<std::string>& partNames) {
  std::vector<std::string> linked;
  for (const std::string& part : partNames) {
    if (IsChart(part) || IsPivotCacheDefinition(part)) linked.push_back(part);
  }
  return linked;
}

void RewriteLinkedParts(Workbook& workbook, const std::vector<std::string>& parts,
                        const RowDeletion& deletion, const SheetOrder& sheets) {
  for (const std::string& part : parts) {
    pugi::xml_document document;
    if (!LoadXml(document, workbook.PartContent(part))) continue;
    const pugi::xml_node root = document.document_element();
    const bool changed =
        IsChart(part) ? RewriteChartFormulas(root, deletion, sheets) : RewritePivotSource(root, deletion);
    if (changed) workbook.ReplacePart(part, SavePart(document));
  }
}

}  // namespace zentora::spreadsheet::detail
