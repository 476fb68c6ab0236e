// Test workbooks: built and read back through any spreadsheet application (the
// fake or the engine), in a temporary folder removed with the fixture.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "outside/Spreadsheet.h"

namespace zentora::excel::testing {

// Rows of cell texts, row 1 first; "" leaves a cell empty.
using Grid = std::vector<std::vector<std::string>>;

// A fresh temporary folder, removed with everything in it on destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The path of `name` inside the folder.
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Writes `grid` into the first sheet of a new workbook of `application` and saves it at `path`.
void WriteWorkbook(ExcelApplication& application, const std::string& path, const Grid& grid);

// The texts of rows 1..rows, columns 1..columns of the workbook at `path`, opened in `application`.
Grid ReadWorkbook(ExcelApplication& application, const std::string& path, std::int32_t rows,
                  std::int32_t columns);

}  // namespace zentora::excel::testing
