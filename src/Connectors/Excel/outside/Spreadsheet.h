// The spreadsheet application as the component drives it: exactly the
// automation operations the component uses, as narrow C++ interfaces.
// Every failing call throws zentora::excel::Error (code Spreadsheet, or
// InvalidArgument / OutOfRange / NotOpen, and for files InUse / ReadOnly /
// ChangedOnDisk) whose message names the file, address or cell involved.
// Rows and columns count from 1.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zentora::excel {

// Value of the `Shift` argument of a rows delete that moves the rows below up.
inline constexpr std::int32_t kShiftUp = -4162;
// Save-as access mode that keeps the target file's access as it is.
inline constexpr std::int32_t kAccessModeNoChange = 1;

// One worksheet of an open workbook. Calls on a sheet of a closed workbook throw NotOpen.
class ExcelWorksheet {
 public:
  virtual ~ExcelWorksheet() = default;

  // The sheet's name as its tab shows it.
  virtual std::string Name() = 0;
  // The number of the last row holding a cell; 1 for a sheet without cells.
  virtual std::int32_t LastRow() = 0;
  // The cell's value as text; "" for an empty or absent cell.
  virtual std::string CellText(std::int32_t row, std::int32_t column) = 0;
  // CellText of columns firstColumn..lastColumn of `row` into `texts`, one per column (none when
  // lastColumn comes first), reusing the storage of its strings: a row's values in one call.
  virtual void RowTexts(std::int32_t row, std::int32_t firstColumn, std::int32_t lastColumn,
                        std::vector<std::string>& texts) = 0;
  // Stores `text` in the cell as text, replacing any value or formula.
  virtual void SetCellText(std::int32_t row, std::int32_t column, std::string_view text) = 0;
  // Sets the number format of the cells in rows firstRow..lastRow and columns firstColumn..lastColumn
  // ("@" is the text format); other formatting stays. A range whose last row or column comes before
  // its first changes nothing.
  virtual void SetNumberFormat(std::int32_t firstRow, std::int32_t firstColumn, std::int32_t lastRow,
                               std::int32_t lastColumn, std::string_view format) = 0;
  // Clears values and formulas of the range at an A1-style address ("A2:F11"); formats stay.
  virtual void ClearContents(std::string_view address) = 0;
  // Deletes the rows at a rows address ("7:7", "3:5"); with kShiftUp the rows below move up.
  virtual void DeleteRows(std::string_view address, std::int32_t shift) = 0;
};

// One open workbook.
class ExcelWorkbook {
 public:
  virtual ~ExcelWorkbook() = default;

  // The first sheet in the workbook's tab order.
  virtual std::shared_ptr<ExcelWorksheet> FirstSheet() = 0;
  // Writes the workbook to `path`, replacing the file; kAccessModeNoChange keeps its access. Saving
  // the workbook's own file writes nothing when nothing changed.
  virtual void SaveAs(const std::string& path, std::int32_t accessMode = 0) = 0;
  // Closes the workbook without saving; its sheets become unusable.
  virtual void Close() = 0;
};

// One private instance of the spreadsheet application.
class ExcelApplication {
 public:
  virtual ~ExcelApplication() = default;

  // Switches prompts off (false) or on; the component always passes false.
  virtual void SetDisplayAlerts(bool on) = 0;
  // A new empty workbook with one sheet.
  virtual std::shared_ptr<ExcelWorkbook> AddWorkbook() = 0;
  // A new workbook holding the whole content of the workbook file at `templatePath`, which stays
  // marked as in use (and held for saving) until the workbook is closed.
  virtual std::shared_ptr<ExcelWorkbook> AddWorkbook(const std::string& templatePath) = 0;
  // Ends the application; its workbooks become unusable.
  virtual void Quit() = 0;
  // How long opening or first saving a workbook that another program or process holds waits for it
  // before failing with InUse.
  virtual void SetInUseWait(std::chrono::milliseconds wait) = 0;
};

// Starts a new application instance backed by the project's spreadsheet engine.
std::shared_ptr<ExcelApplication> CreateExcelApplication();

}  // namespace zentora::excel
