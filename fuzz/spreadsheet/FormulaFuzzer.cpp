// Formula text as stored in workbook files: finding references, shifting them for deleted rows and
// moving them for copied formulas must neither crash nor produce spans outside the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Spreadsheet/formula/FormulaReferences.h"
#include "Spreadsheet/formula/ReferenceShift.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zentora::spreadsheet;
  static const SheetOrder sheets({"Data", "Sum Up", "Jan", "Mar"});
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const FormulaReference& reference : FindReferences(text)) {
    if (reference.begin > reference.areaBegin || reference.areaBegin >= reference.end ||
        reference.end > size) {
      __builtin_trap();
    }
  }
  ShiftFormulaForRowDeletion(text, "Data", {"Data", 3, 4}, sheets);
  TranslateFormula(text, 2, -1);
  ShiftRangeListForRowDeletion(text, {"Data", 1, 2});
  return 0;
}
