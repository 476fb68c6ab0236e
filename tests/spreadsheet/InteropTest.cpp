// Interoperability with third-party software, each tool started as few times as possible:
// interop/workbooks.py writes workbooks with openpyxl, xlsxwriter and LibreOffice; the engine reads
// them, adds a record in the text format to one and deletes a record row with its references kept in
// others, makes a new workbook as the component does and saves them; then the script reads the saved
// workbooks with openpyxl and lets LibreOffice recalculate and convert them. An openpyxl workbook
// changed through the component is ThirdPartyWorkbookTest's. Skips when a tool is missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "Spreadsheet/references/RowDeletionRewriter.h"
#include "Spreadsheet/workbook/Workbook.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

struct Outcome {
  int status = -1;
  std::string output;
};

// Runs interop/workbooks.py with `arguments` (no arguments: checks that its modules are there).
Outcome RunScript(const std::string& arguments) {
  const char* data = std::getenv("ZENTORA_TEST_DATA");
  const std::string script =
      std::string(data == nullptr ? "tests/spreadsheet" : data) + "/interop/workbooks.py";
  const std::string command = arguments.empty() ? "/usr/bin/python3 -c 'import openpyxl, xlsxwriter'"
                                                : "/usr/bin/python3 '" + script + "' " + arguments;
  Outcome outcome;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.output.append(buffer, got);
  outcome.status = pclose(pipe);
  return outcome;
}

using Texts = std::vector<std::string>;

// The texts of the first `columns` cells of `row`.
Texts Row(Worksheet& sheet, std::uint32_t row, std::uint32_t columns) {
  Texts texts;
  for (std::uint32_t column = 1; column <= columns; ++column) texts.push_back(sheet.CellText(row, column));
  return texts;
}

void ReadThirdPartyWorkbooks(const testing::TemporaryFolder& folder) {
  auto openpyxl = Workbook::Open(folder.File("openpyxl.xlsx"));
  Worksheet& items = openpyxl->FirstSheet();
  EXPECT_EQ(openpyxl->SheetAt(0).name, "Items");
  EXPECT_EQ(Row(items, 3, 5), (Texts{"{B}", "contact", "  spaced  ", "Bernd", "Ölberg"}));
  EXPECT_EQ(Row(items, 4, 5), (Texts{"{C}", "42", "0.1", "TRUE", "05.12.2026 14:30:00"}));
  // openpyxl stores no cached result for the formula.
  EXPECT_EQ(Row(items, 5, 5), (Texts{"{D}", "", "29.02.2024", "-7.25", "line\nbreak"}));
  EXPECT_EQ(Row(openpyxl->Sheet(1), 2, 2), (Texts{"", "3.5"}));
  auto xlsxwriter = Workbook::Open(folder.File("xlsxwriter.xlsx"));
  Worksheet& data = xlsxwriter->FirstSheet();
  EXPECT_EQ(Row(data, 2, 2), (Texts{"{X}", "plain bold tail"}));
  EXPECT_EQ(Row(data, 3, 3), (Texts{"1234567.5", "31.01.2026", "31.01.2026 08:05:09"}));
  EXPECT_EQ(Row(data, 4, 2), (Texts{"42", "FALSE"}));
  EXPECT_EQ(data.mergedRanges(), (std::vector<CellRange>{ParseRangeAddress("D1:E2")}));
  auto fromCsv = Workbook::Open(folder.File("from-csv.xlsx"));
  EXPECT_EQ(Row(fromCsv->FirstSheet(), 2, 3), (Texts{"{L1}", "comma, inside", "12.5"}));
  EXPECT_EQ(Row(fromCsv->FirstSheet(), 3, 3), (Texts{"{L2}", "Ünïcödé", "-3"}));
  fromCsv->FirstSheet().SetCellText(4, 1, "{L3}");
  fromCsv->FirstSheet().SetTextFormat(4, 1);
  fromCsv->SaveAs(folder.File("from-csv-resaved.xlsx"), false);
}

// A new workbook as the component makes it.
void SaveNewWorkbook(const testing::TemporaryFolder& folder) {
  auto fresh = Workbook::CreateEmpty();
  const char* headings[] = {"ID", "TYPE", "TEXT", "Vorname", "Nachname"};
  for (std::uint32_t column = 1; column <= 5; ++column) {
    fresh->FirstSheet().SetCellText(1, column, headings[column - 1]);
    fresh->FirstSheet().SetTextFormat(2, column);
  }
  fresh->FirstSheet().SetCellText(2, 1, "{NEW}");
  fresh->SaveAs(folder.File("new.xlsx"), true);
}

TEST(Interop, ThirdPartyWorkbooksAreReadChangedAndSavedForThirdPartyReaders) {
  if (RunScript("").status != 0) GTEST_SKIP() << "python3-openpyxl or python3-xlsxwriter is missing";
  if (std::system("command -v soffice >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "LibreOffice (soffice) is missing";
  testing::TemporaryFolder folder;
  const Outcome made = RunScript("make '" + folder.path().string() + "'");
  ASSERT_EQ(made.status, 0) << made.output;
  ReadThirdPartyWorkbooks(folder);
  SaveNewWorkbook(folder);
  for (const char* records : {"records", "records-resaved"}) {
    auto workbook = Workbook::Open(folder.File(std::string(records) + ".xlsx"));
    KeepReferencesOnRowDeletion(*workbook);
    workbook->FirstSheet().DeleteRows(5, 5);
    workbook->SaveAs(folder.File("deleted-" + std::string(records) + ".xlsx"), false);
  }
  const Outcome checked = RunScript("check '" + folder.path().string() + "'");
  EXPECT_EQ(checked.status, 0) << checked.output;
}

}  // namespace
}  // namespace zentora::spreadsheet
