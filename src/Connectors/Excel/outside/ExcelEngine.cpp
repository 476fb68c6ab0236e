// The spreadsheet application interfaces implemented over the project's own
// spreadsheet engine. Engine errors become the component's errors with their
// message kept: bad arguments and positions keep their own codes, everything
// the engine refuses or fails at is a spreadsheet error.
#include <algorithm>
#include <vector>

#include "Error.h"
#include "Spreadsheet.h"
#include "Spreadsheet/Address.h"
#include "Spreadsheet/Error.h"
#include "Spreadsheet/references/RowDeletionRewriter.h"
#include "Spreadsheet/workbook/Workbook.h"

namespace zentora::excel {
namespace {

namespace engine = zentora::spreadsheet;

ErrorCode CodeOf(engine::ErrorCode code) {
  switch (code) {
    case engine::ErrorCode::InvalidArgument:
      return ErrorCode::InvalidArgument;
    case engine::ErrorCode::OutOfRange:
      return ErrorCode::OutOfRange;
    case engine::ErrorCode::InUse:
      return ErrorCode::InUse;
    case engine::ErrorCode::ReadOnly:
      return ErrorCode::ReadOnly;
    case engine::ErrorCode::ChangedOnDisk:
      return ErrorCode::ChangedOnDisk;
    default:
      return ErrorCode::Spreadsheet;
  }
}

// Runs an engine call, turning its errors into the component's.
template <typename Call>
auto Translated(Call call) -> decltype(call()) {
  try {
    return call();
  } catch (const engine::Error& error) {
    throw Error(CodeOf(error.code()), error.what());
  } catch (const std::bad_alloc&) {
    throw Error(ErrorCode::Spreadsheet, "the spreadsheet engine ran out of memory");
  }
}

// What a workbook and its sheets share: the engine's workbook while it is open.
struct OpenWorkbook {
  std::unique_ptr<engine::Workbook> workbook;
  std::string name;
  engine::EditOptions options;

  engine::Worksheet& FirstSheet() {
    if (!workbook) throw Error(ErrorCode::NotOpen, "the workbook " + name + " is closed");
    return workbook->FirstSheet();
  }
};

std::uint32_t CheckedRow(std::int32_t row) {
  if (row < 1 || static_cast<std::uint32_t>(row) > engine::kMaxRows) {
    throw Error(ErrorCode::OutOfRange, "row " + std::to_string(row) + " is outside the sheet (1 to 1048576)");
  }
  return static_cast<std::uint32_t>(row);
}

std::uint32_t CheckedColumn(std::int32_t column) {
  if (column < 1 || static_cast<std::uint32_t>(column) > engine::kMaxColumns) {
    throw Error(ErrorCode::OutOfRange,
                "column " + std::to_string(column) + " is outside the sheet (1 to 16384)");
  }
  return static_cast<std::uint32_t>(column);
}

class EngineWorksheet : public ExcelWorksheet {
 public:
  explicit EngineWorksheet(std::shared_ptr<OpenWorkbook> book) : book_(std::move(book)) {}

  std::string Name() override {
    book_->FirstSheet();
    return book_->workbook->SheetAt(0).name;
  }

  std::int32_t LastRow() override {
    return Translated(
        [&] { return static_cast<std::int32_t>(std::max(1u, book_->FirstSheet().LastCellRow())); });
  }
  std::string CellText(std::int32_t row, std::int32_t column) override {
    std::uint32_t r = CheckedRow(row), c = CheckedColumn(column);
    return Translated([&] { return book_->FirstSheet().CellText(r, c); });
  }
  void RowTexts(std::int32_t row, std::int32_t firstColumn, std::int32_t lastColumn,
                std::vector<std::string>& texts) override {
    const std::uint32_t r = CheckedRow(row), first = CheckedColumn(firstColumn);
    const std::uint32_t last = lastColumn < firstColumn ? 0 : CheckedColumn(lastColumn);
    Translated([&] { book_->FirstSheet().RowTexts(r, first, last, texts); });
  }
  void SetCellText(std::int32_t row, std::int32_t column, std::string_view text) override {
    std::uint32_t r = CheckedRow(row), c = CheckedColumn(column);
    Translated([&] { book_->FirstSheet().SetCellText(r, c, text); });
  }
  void SetNumberFormat(std::int32_t firstRow, std::int32_t firstColumn, std::int32_t lastRow,
                       std::int32_t lastColumn, std::string_view format) override {
    const std::uint32_t rows[] = {CheckedRow(firstRow), CheckedRow(lastRow)};
    const std::uint32_t columns[] = {CheckedColumn(firstColumn), CheckedColumn(lastColumn)};
    if (format != "@") {
      throw Error(ErrorCode::InvalidArgument,
                  "number format \"" + std::string(format) + "\" is not supported (only \"@\")");
    }
    Translated([&] {
      engine::Worksheet& sheet = book_->FirstSheet();
      for (std::uint32_t row = rows[0]; row <= rows[1]; ++row) {
        for (std::uint32_t column = columns[0]; column <= columns[1]; ++column)
          sheet.SetTextFormat(row, column);
      }
    });
  }
  void ClearContents(std::string_view address) override {
    Translated([&] {
      engine::CellRange range = engine::ParseRangeAddress(address);
      book_->FirstSheet().ClearContents(range);
    });
  }
  void DeleteRows(std::string_view address, std::int32_t shift) override {
    if (shift != kShiftUp) {
      throw Error(ErrorCode::InvalidArgument,
                  "rows delete with Shift " + std::to_string(shift) + " is not supported");
    }
    Translated([&] {
      engine::CellRange rows = engine::ParseRowsAddress(address);
      book_->FirstSheet().DeleteRows(rows.firstRow, rows.lastRow);
    });
  }

 private:
  std::shared_ptr<OpenWorkbook> book_;
};

class EngineWorkbook : public ExcelWorkbook {
 public:
  explicit EngineWorkbook(std::shared_ptr<OpenWorkbook> book) : book_(std::move(book)) {}

  std::shared_ptr<ExcelWorksheet> FirstSheet() override {
    Translated([&] { book_->FirstSheet(); });
    return std::make_shared<EngineWorksheet>(book_);
  }
  void SaveAs(const std::string& path, std::int32_t accessMode) override {
    if (!book_->workbook) throw Error(ErrorCode::NotOpen, "the workbook " + book_->name + " is closed");
    if (accessMode != 0 && accessMode != kAccessModeNoChange) {
      throw Error(ErrorCode::InvalidArgument,
                  "save-as access mode " + std::to_string(accessMode) + " is not supported");
    }
    if (path.empty()) throw Error(ErrorCode::Spreadsheet, "cannot save the workbook: the file name is empty");
    Translated([&] {
      // A new workbook's first save makes its file and holds it, as opening an existing one does.
      if (book_->workbook->HoldsFile()) {
        book_->workbook->SaveAs(path, true);
      } else {
        book_->workbook->SaveAsNewFile(path, book_->options);
      }
    });
  }
  void Close() override { book_->workbook.reset(); }

  const std::shared_ptr<OpenWorkbook>& book() const { return book_; }

 private:
  std::shared_ptr<OpenWorkbook> book_;
};

class EngineApplication : public ExcelApplication {
 public:
  void SetDisplayAlerts(bool) override { CheckRunning(); }
  std::shared_ptr<ExcelWorkbook> AddWorkbook() override {
    CheckRunning();
    return Track(Translated([] { return engine::Workbook::CreateEmpty(); }), "Mappe1");
  }
  std::shared_ptr<ExcelWorkbook> AddWorkbook(const std::string& templatePath) override {
    CheckRunning();
    return Track(Translated([&] { return engine::Workbook::OpenForEditing(templatePath, options_); }),
                 templatePath);
  }
  void SetInUseWait(std::chrono::milliseconds wait) override { options_.inUseWait = wait; }
  void Quit() override {
    for (const auto& book : books_) {
      if (auto open = book.lock()) open->workbook.reset();
    }
    books_.clear();
    quit_ = true;
  }

 private:
  void CheckRunning() const {
    if (quit_) throw Error(ErrorCode::NotOpen, "the spreadsheet application has quit");
  }
  std::shared_ptr<ExcelWorkbook> Track(std::unique_ptr<engine::Workbook> workbook, const std::string& name) {
    Translated([&] { engine::KeepReferencesOnRowDeletion(*workbook); });
    auto book = std::make_shared<OpenWorkbook>(OpenWorkbook{std::move(workbook), name, options_});
    std::erase_if(books_, [](const std::weak_ptr<OpenWorkbook>& entry) { return entry.expired(); });
    books_.push_back(book);
    return std::make_shared<EngineWorkbook>(book);
  }

  std::vector<std::weak_ptr<OpenWorkbook>> books_;
  engine::EditOptions options_;
  bool quit_ = false;
};

}  // namespace

std::shared_ptr<ExcelApplication> CreateExcelApplication() { return std::make_shared<EngineApplication>(); }

}  // namespace zentora::excel
