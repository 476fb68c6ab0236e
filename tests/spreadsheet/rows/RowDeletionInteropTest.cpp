// A record workbook written by openpyxl (also saved again by LibreOffice, and with its computed column
// stored as shared formulas as the application writes them) loses one record row through the engine;
// openpyxl then finds every formula, name and sheet item moved, and LibreOffice's recalculated values
// are those of the shifted data. Skips when a tool is missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Spreadsheet/references/RowDeletionRewriter.h"
#include "Spreadsheet/workbook/Workbook.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

const char* kPython = "/usr/bin/python3";

std::string Script() {
  const char* data = std::getenv("ZENTORA_TEST_DATA");
  return std::string(data == nullptr ? "tests/spreadsheet" : data) + "/rows/records_workbook.py";
}

struct Outcome {
  int status = -1;
  std::string output;
};

Outcome RunCommand(const std::string& command) {
  Outcome outcome;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.output.append(buffer, got);
  outcome.status = pclose(pipe);
  return outcome;
}

class RecordWorkbookInterop : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (RunCommand(std::string(kPython) + " -c 'import openpyxl'").status != 0) {
      GTEST_SKIP() << "python3-openpyxl is not installed: third-party workbooks cannot be built";
    }
    if (RunCommand("command -v soffice").status != 0) {
      GTEST_SKIP() << "LibreOffice (soffice) is not installed: recalculated values cannot be checked";
    }
  }
};

TEST_P(RecordWorkbookInterop, DeletingARecordKeepsTheWorkbookConsistent) {
  testing::TemporaryFolder folder;
  const std::string source = folder.File("records.xlsx");
  const Outcome built =
      RunCommand(std::string(kPython) + " " + Script() + " build '" + source + "' " + GetParam());
  ASSERT_EQ(built.status, 0) << built.output;

  auto workbook = Workbook::Open(source);
  KeepReferencesOnRowDeletion(*workbook);
  workbook->FirstSheet().DeleteRows(5, 5);
  const std::string deleted = folder.File("deleted.xlsx");
  workbook->SaveAs(deleted, false);

  const Outcome checked = RunCommand(std::string(kPython) + " " + Script() + " check '" + deleted + "' '" +
                                     folder.path().string() + "'");
  EXPECT_EQ(checked.status, 0) << checked.output;
}

INSTANTIATE_TEST_SUITE_P(Writers, RecordWorkbookInterop,
                         ::testing::Values("", "--resave-with-libreoffice", "--shared-formulas"),
                         [](const auto& writer) {
                           const std::string option = writer.param;
                           return option.empty()                  ? "Openpyxl"
                                  : option == "--shared-formulas" ? "SharedFormulas"
                                                                  : "ResavedByLibreOffice";
                         });

}  // namespace
}  // namespace zentora::spreadsheet
