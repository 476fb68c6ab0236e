// The project's spreadsheet engine behind a recording layer for tests: changing
// calls are logged, cell reads counted, number formats remembered, and cell reads
// and changing calls made to fail on demand; everything passes through to the engine.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "outside/Spreadsheet.h"

namespace zentora::excel::testing {

// What the recorded applications of one test share.
struct SpreadsheetRecord {
  // Operation names ("SaveAs", "Close", "Quit", "CellText", "RowTexts", "SetCellText",
  // "ClearContents", "DeleteRows") that throw Error(Spreadsheet) instead of passing through.
  std::set<std::string> failing;
  // One line per call that changes something: the operation and its arguments ("SaveAs /tmp/a.xlsx 1").
  std::vector<std::string> calls;
  // The number format last set on each (row, column).
  std::map<std::pair<std::int32_t, std::int32_t>, std::string> formats;
  // The engine's first sheet of the workbook added last, for reading cells without recording.
  std::shared_ptr<ExcelWorksheet> sheet;

  // Throws the injected fault of `operation`, if any.
  void Check(const std::string& operation) const;
  // Logs a changing call, then throws its injected fault, if any.
  void Enter(const std::string& operation, const std::string& arguments = "");
};

// Starts an engine application whose calls go through `record`.
std::shared_ptr<ExcelApplication> StartRecorded(std::shared_ptr<SpreadsheetRecord> record);

}  // namespace zentora::excel::testing
