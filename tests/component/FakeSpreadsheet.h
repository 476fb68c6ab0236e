// An in-memory spreadsheet application for tests: cells and number formats in
// maps, workbooks saved to and loaded from a small text file (one cell per
// line), every call recorded, and any operation made to fail on demand.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "outside/Spreadsheet.h"

namespace zentora::excel::testing {

// What all fake objects of one test share: injected faults and the call record.
struct FakeSpreadsheetState {
  // Operation names ("SaveAs", "Close", "Quit", "AddWorkbook", "CellText", "SetCellText",
  // "SetNumberFormat", "FirstSheet", "SetDisplayAlerts", "ClearContents", "DeleteRows") that throw
  // Error(Spreadsheet).
  std::set<std::string> failing;
  // One line per call: the operation and its arguments ("SaveAs /tmp/a.book 1").
  std::vector<std::string> calls;
  // Number of CellText calls.
  std::int64_t cellReads = 0;
  // Applications started, workbooks open.
  int applications = 0;

  void Enter(const std::string& operation, const std::string& arguments = "");
};

class FakeWorksheet : public ExcelWorksheet {
 public:
  explicit FakeWorksheet(std::shared_ptr<FakeSpreadsheetState> state) : state_(std::move(state)) {}

  std::string Name() override { return "Tabelle1"; }
  std::string CellText(std::int32_t row, std::int32_t column) override;
  void SetCellText(std::int32_t row, std::int32_t column, std::string_view text) override;
  void SetNumberFormat(std::int32_t row, std::int32_t column, std::string_view format) override;
  void ClearContents(std::string_view address) override;
  void DeleteRows(std::string_view address, std::int32_t shift) override;

  // The number format of a cell; "" when none was set.
  std::string Format(std::int32_t row, std::int32_t column) const;
  // The cell text without recording a call.
  std::string Peek(std::int32_t row, std::int32_t column) const;

  bool open = true;
  std::map<std::pair<std::int32_t, std::int32_t>, std::string> cells;
  std::map<std::pair<std::int32_t, std::int32_t>, std::string> formats;

 private:
  void CheckCell(const char* operation, std::int32_t row, std::int32_t column) const;

  std::shared_ptr<FakeSpreadsheetState> state_;
};

class FakeWorkbook : public ExcelWorkbook {
 public:
  explicit FakeWorkbook(std::shared_ptr<FakeSpreadsheetState> state);

  std::shared_ptr<ExcelWorksheet> FirstSheet() override;
  void SaveAs(const std::string& path, std::int32_t accessMode) override;
  void Close() override;

  std::shared_ptr<FakeWorksheet> sheet;

 private:
  std::shared_ptr<FakeSpreadsheetState> state_;
};

class FakeApplication : public ExcelApplication {
 public:
  explicit FakeApplication(std::shared_ptr<FakeSpreadsheetState> state);

  void SetDisplayAlerts(bool on) override;
  std::shared_ptr<ExcelWorkbook> AddWorkbook() override;
  std::shared_ptr<ExcelWorkbook> AddWorkbook(const std::string& templatePath) override;
  void Quit() override;

  // The workbooks this application made, oldest first.
  std::vector<std::shared_ptr<FakeWorkbook>> workbooks;

 private:
  std::shared_ptr<FakeSpreadsheetState> state_;
};

// A spreadsheet "installation" for one test: starts fake applications that share one state and
// remembers the last one started.
class FakeSpreadsheet {
 public:
  std::shared_ptr<FakeSpreadsheetState> state = std::make_shared<FakeSpreadsheetState>();
  std::shared_ptr<FakeApplication> lastApplication;

  // Starts a new fake application.
  std::shared_ptr<ExcelApplication> Start();
  // The first sheet of the last workbook of the last application.
  FakeWorksheet& Sheet();
};

}  // namespace zentora::excel::testing
