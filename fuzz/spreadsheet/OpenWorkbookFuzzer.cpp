// Opens a workbook from arbitrary bytes, reads, edits and saves it, and opens the result again.
// Any failure must be the engine's own error; crashes, leaks and hangs are findings.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Spreadsheet/Error.h"
#include "Spreadsheet/workbook/Workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zentora::spreadsheet;
  Limits limits;
  limits.inflationAllowance = 16u << 20;
  limits.memoryAllowance = 64u << 20;
  try {
    auto workbook =
        Workbook::OpenBytes(std::string(reinterpret_cast<const char*>(data), size), "fuzz.xlsx", limits);
    Worksheet& sheet = workbook->FirstSheet();
    for (std::uint32_t row = 1; row <= 4; ++row) {
      for (std::uint32_t column = 1; column <= 4; ++column) sheet.CellText(row, column);
    }
    sheet.SetTextFormat(2, 2);
    sheet.SetCellText(3, 1, "_x0041_ \r\n");
    sheet.DeleteRows(1, 1);
    auto reopened = Workbook::OpenBytes(workbook->SaveToBytes(), "fuzz-saved.xlsx", limits);
    if (reopened->FirstSheet().CellText(2, 1) != "_x0041_ \r\n") __builtin_trap();
  } catch (const Error&) {
  }
  return 0;
}
