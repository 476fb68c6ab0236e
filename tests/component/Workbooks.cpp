#include "Workbooks.h"

#include <unistd.h>

#include <stdexcept>

namespace zentora::excel::testing {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zentora-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteWorkbook(ExcelApplication& application, const std::string& path, const Grid& grid) {
  auto workbook = application.AddWorkbook();
  auto sheet = workbook->FirstSheet();
  for (std::size_t row = 0; row < grid.size(); ++row)
    for (std::size_t column = 0; column < grid[row].size(); ++column)
      if (!grid[row][column].empty())
        sheet->SetCellText(static_cast<std::int32_t>(row + 1), static_cast<std::int32_t>(column + 1),
                           grid[row][column]);
  workbook->SaveAs(path);
  workbook->Close();
}

Grid ReadWorkbook(ExcelApplication& application, const std::string& path, std::int32_t rows,
                  std::int32_t columns) {
  auto workbook = application.AddWorkbook(path);
  auto sheet = workbook->FirstSheet();
  Grid grid;
  for (std::int32_t row = 1; row <= rows; ++row) {
    grid.emplace_back();
    for (std::int32_t column = 1; column <= columns; ++column)
      grid.back().push_back(sheet->CellText(row, column));
  }
  workbook->Close();
  return grid;
}

}  // namespace zentora::excel::testing
