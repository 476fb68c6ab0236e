// The spreadsheet application interface over the engine: how its errors reach the component. What
// it writes, saves, reads, deletes and clears is checked through the component's tests, which all
// run on it.
#include <gtest/gtest.h>

#include "Error.h"
#include "TestWorkbooks.h"
#include "outside/Spreadsheet.h"

namespace zentora::excel {
namespace {

using spreadsheet::testing::ExpectError;
using spreadsheet::testing::TemporaryFolder;

TEST(ExcelEngine, ErrorsCarryTheComponentsCodesAndName) {
  TemporaryFolder folder;
  auto application = CreateExcelApplication();
  auto book = application->AddWorkbook();
  auto sheet = book->FirstSheet();
  ExpectError<Error>(ErrorCode::OutOfRange, "row 0", [&] { sheet->CellText(0, 1); });
  ExpectError<Error>(ErrorCode::OutOfRange, "column 16385", [&] { sheet->SetCellText(1, 16385, "x"); });
  ExpectError<Error>(ErrorCode::OutOfRange, "row 1048577", [&] { sheet->SetNumberFormat(1048577, 1, "@"); });
  ExpectError<Error>(ErrorCode::InvalidArgument, "\"A2:\"", [&] { sheet->ClearContents("A2:"); });
  ExpectError<Error>(ErrorCode::InvalidArgument, "\"A1:B2\"", [&] { sheet->DeleteRows("A1:B2", kShiftUp); });
  ExpectError<Error>(ErrorCode::InvalidArgument, "32767",
                     [&] { sheet->SetCellText(1, 1, std::string(40000, 'y')); });
  spreadsheet::testing::WriteFile(folder.File("text.xlsx"), "just some text, not a workbook");
  ExpectError<Error>(ErrorCode::Spreadsheet, "text.xlsx",
                     [&] { application->AddWorkbook(folder.File("text.xlsx")); });
  ExpectError<Error>(ErrorCode::Spreadsheet, "empty", [&] { book->SaveAs(""); });

  book->Close();
  ExpectError<Error>(ErrorCode::NotOpen, "closed", [&] { sheet->CellText(1, 1); });
  ExpectError<Error>(ErrorCode::NotOpen, "closed", [&] { book->SaveAs(folder.File("x.xlsx")); });

  auto other = application->AddWorkbook();
  auto otherSheet = other->FirstSheet();
  application->Quit();
  ExpectError<Error>(ErrorCode::NotOpen, "closed", [&] { otherSheet->SetCellText(1, 1, "x"); });
  ExpectError<Error>(ErrorCode::NotOpen, "quit", [&] { application->AddWorkbook(); });
}

}  // namespace
}  // namespace zentora::excel
