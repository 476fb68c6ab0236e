#include "RecordingSpreadsheet.h"

#include "Error.h"

namespace zentora::excel::testing {
namespace {

class RecordedWorksheet : public ExcelWorksheet {
 public:
  RecordedWorksheet(std::shared_ptr<ExcelWorksheet> sheet, std::shared_ptr<SpreadsheetRecord> record)
      : sheet_(std::move(sheet)), record_(std::move(record)) {}

  std::string Name() override { return sheet_->Name(); }
  std::int32_t LastRow() override { return sheet_->LastRow(); }
  std::string CellText(std::int32_t row, std::int32_t column) override {
    record_->Check("CellText");
    return sheet_->CellText(row, column);
  }
  void RowTexts(std::int32_t row, std::int32_t firstColumn, std::int32_t lastColumn,
                std::vector<std::string>& texts) override {
    record_->Check("RowTexts");
    sheet_->RowTexts(row, firstColumn, lastColumn, texts);
  }
  void SetCellText(std::int32_t row, std::int32_t column, std::string_view text) override {
    record_->Enter("SetCellText",
                   std::to_string(row) + "," + std::to_string(column) + " " + std::string(text));
    sheet_->SetCellText(row, column, text);
  }
  void SetNumberFormat(std::int32_t firstRow, std::int32_t firstColumn, std::int32_t lastRow,
                       std::int32_t lastColumn, std::string_view format) override {
    sheet_->SetNumberFormat(firstRow, firstColumn, lastRow, lastColumn, format);
    for (std::int32_t row = firstRow; row <= lastRow; ++row) {
      for (std::int32_t column = firstColumn; column <= lastColumn; ++column)
        record_->formats[{row, column}] = format;
    }
  }
  void ClearContents(std::string_view address) override {
    record_->Enter("ClearContents", std::string(address));
    sheet_->ClearContents(address);
  }
  void DeleteRows(std::string_view address, std::int32_t shift) override {
    record_->Enter("DeleteRows", std::string(address) + " " + std::to_string(shift));
    sheet_->DeleteRows(address, shift);
  }

 private:
  std::shared_ptr<ExcelWorksheet> sheet_;
  std::shared_ptr<SpreadsheetRecord> record_;
};

class RecordedWorkbook : public ExcelWorkbook {
 public:
  RecordedWorkbook(std::shared_ptr<ExcelWorkbook> workbook, std::shared_ptr<SpreadsheetRecord> record)
      : workbook_(std::move(workbook)), record_(std::move(record)) {}

  std::shared_ptr<ExcelWorksheet> FirstSheet() override {
    return std::make_shared<RecordedWorksheet>(workbook_->FirstSheet(), record_);
  }
  void SaveAs(const std::string& path, std::int32_t accessMode) override {
    record_->Enter("SaveAs", path + " " + std::to_string(accessMode));
    workbook_->SaveAs(path, accessMode);
  }
  void Close() override {
    record_->Enter("Close");
    workbook_->Close();
  }

 private:
  std::shared_ptr<ExcelWorkbook> workbook_;
  std::shared_ptr<SpreadsheetRecord> record_;
};

class RecordedApplication : public ExcelApplication {
 public:
  explicit RecordedApplication(std::shared_ptr<SpreadsheetRecord> record)
      : application_(CreateExcelApplication()), record_(std::move(record)) {}

  void SetDisplayAlerts(bool on) override { application_->SetDisplayAlerts(on); }
  void SetInUseWait(std::chrono::milliseconds wait) override { application_->SetInUseWait(wait); }
  std::shared_ptr<ExcelWorkbook> AddWorkbook() override { return Recorded(application_->AddWorkbook()); }
  std::shared_ptr<ExcelWorkbook> AddWorkbook(const std::string& templatePath) override {
    return Recorded(application_->AddWorkbook(templatePath));
  }
  void Quit() override {
    record_->Enter("Quit");
    application_->Quit();
  }

 private:
  std::shared_ptr<ExcelWorkbook> Recorded(std::shared_ptr<ExcelWorkbook> workbook) {
    record_->sheet = workbook->FirstSheet();
    return std::make_shared<RecordedWorkbook>(std::move(workbook), record_);
  }

  std::shared_ptr<ExcelApplication> application_;
  std::shared_ptr<SpreadsheetRecord> record_;
};

}  // namespace

void SpreadsheetRecord::Check(const std::string& operation) const {
  if (failing.count(operation) != 0)
    throw Error(ErrorCode::Spreadsheet, operation + " failed (injected fault)");
}

void SpreadsheetRecord::Enter(const std::string& operation, const std::string& arguments) {
  calls.push_back(arguments.empty() ? operation : operation + " " + arguments);
  Check(operation);
}

std::shared_ptr<ExcelApplication> StartRecorded(std::shared_ptr<SpreadsheetRecord> record) {
  return std::make_shared<RecordedApplication>(std::move(record));
}

}  // namespace zentora::excel::testing
