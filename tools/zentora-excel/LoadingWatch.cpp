#include "LoadingWatch.h"

#include <utility>

#include "text/Numbers.h"

namespace zentora::cli {
namespace {

using excel::ExcelApplication;
using excel::ExcelWorkbook;
using excel::ExcelWorksheet;
using State = LoadingWatch::State;

class WatchedWorksheet : public ExcelWorksheet {
 public:
  WatchedWorksheet(std::shared_ptr<ExcelWorksheet> inner, std::shared_ptr<State> state)
      : inner_(std::move(inner)), state_(std::move(state)) {}

  std::string Name() override { return inner_->Name(); }
  std::int32_t LastRow() override { return inner_->LastRow(); }
  std::string CellText(std::int32_t row, std::int32_t column) override {
    return inner_->CellText(row, column);
  }
  void RowTexts(std::int32_t row, std::int32_t firstColumn, std::int32_t lastColumn,
                std::vector<std::string>& texts) override {
    inner_->RowTexts(row, firstColumn, lastColumn, texts);
  }
  void SetCellText(std::int32_t row, std::int32_t column, std::string_view text) override {
    inner_->SetCellText(row, column, text);
    if (!state_->watching) return;
    LoadingChanges& changes = state_->changes;
    if (changes.sheet.empty()) changes.sheet = inner_->Name();
    if (row == 1) {
      changes.headings.emplace_back(column, std::string(text));
      return;
    }
    if (changes.rowCells++ == 0) changes.firstRow = row;
    changes.lastRow = row;
  }
  void SetNumberFormat(std::int32_t firstRow, std::int32_t firstColumn, std::int32_t lastRow,
                       std::int32_t lastColumn, std::string_view format) override {
    inner_->SetNumberFormat(firstRow, firstColumn, lastRow, lastColumn, format);
  }
  void ClearContents(std::string_view address) override { inner_->ClearContents(address); }
  void DeleteRows(std::string_view address, std::int32_t shift) override {
    inner_->DeleteRows(address, shift);
  }

 private:
  std::shared_ptr<ExcelWorksheet> inner_;
  std::shared_ptr<State> state_;
};

class WatchedWorkbook : public ExcelWorkbook {
 public:
  WatchedWorkbook(std::shared_ptr<ExcelWorkbook> inner, std::shared_ptr<State> state)
      : inner_(std::move(inner)), state_(std::move(state)) {}

  std::shared_ptr<ExcelWorksheet> FirstSheet() override {
    return std::make_shared<WatchedWorksheet>(inner_->FirstSheet(), state_);
  }
  void SaveAs(const std::string& path, std::int32_t accessMode) override {
    if (!state_->dryRun) inner_->SaveAs(path, accessMode);
  }
  void Close() override { inner_->Close(); }

 private:
  std::shared_ptr<ExcelWorkbook> inner_;
  std::shared_ptr<State> state_;
};

class WatchedApplication : public ExcelApplication {
 public:
  WatchedApplication(std::shared_ptr<ExcelApplication> inner, std::shared_ptr<State> state)
      : inner_(std::move(inner)), state_(std::move(state)) {}

  void SetDisplayAlerts(bool on) override { inner_->SetDisplayAlerts(on); }
  std::shared_ptr<ExcelWorkbook> AddWorkbook() override {
    return std::make_shared<WatchedWorkbook>(inner_->AddWorkbook(), state_);
  }
  std::shared_ptr<ExcelWorkbook> AddWorkbook(const std::string& templatePath) override {
    return std::make_shared<WatchedWorkbook>(inner_->AddWorkbook(templatePath), state_);
  }
  void Quit() override { inner_->Quit(); }
  void SetInUseWait(std::chrono::milliseconds wait) override { inner_->SetInUseWait(wait); }

 private:
  std::shared_ptr<ExcelApplication> inner_;
  std::shared_ptr<State> state_;
};

}  // namespace

LoadingWatch::LoadingWatch(excel::Location::ApplicationFactory startApplication, bool dryRun)
    : startApplication_(std::move(startApplication)), state_(std::make_shared<State>()) {
  state_->dryRun = dryRun;
}

excel::Location::ApplicationFactory LoadingWatch::Factory() const {
  return [start = startApplication_, state = state_] {
    return std::make_shared<WatchedApplication>(start(), state);
  };
}

void LoadingWatch::Stop() { state_->watching = false; }

const LoadingChanges& LoadingWatch::changes() const { return state_->changes; }

std::string DescribeLoadingChanges(const LoadingChanges& changes, const std::string& book, bool dryRun) {
  if (changes.headings.empty() && changes.rowCells == 0) return "";
  std::string what;
  for (const auto& [column, text] : changes.headings) {
    what += (what.empty() ? "adds the heading \"" : ", the heading \"") + text + "\" in column " +
            excel::ColumnLetter(column);
  }
  if (changes.rowCells > 0) {
    what += std::string(what.empty() ? "" : " and ") + "writes new IDs into " +
            excel::DecimalText(changes.rowCells) +
            (changes.rowCells == 1 ? " row (row " + excel::DecimalText(changes.firstRow) + ")"
                                   : " rows (between rows " + excel::DecimalText(changes.firstRow) + " and " +
                                         excel::DecimalText(changes.lastRow) + ")");
  }
  return "opening " + book + " changes its sheet \"" + changes.sheet + "\": it " + what +
         ", and gives the item cells the text format" +
         (dryRun ? " (--dry-run: nothing is written)" : "; the workbook is saved with these changes");
}

}  // namespace zentora::cli
