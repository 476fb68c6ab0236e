// Interoperability with third-party software: workbooks written by openpyxl,
// xlsxwriter and LibreOffice are read with the expected texts, and workbooks
// the engine saved are read back by openpyxl and by LibreOffice. Each test
// skips with a message when its tool is missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "Spreadsheet/workbook/Workbook.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

using testing::ReadFile;
using testing::TemporaryFolder;
using testing::WriteFile;

const char* kPython = "/usr/bin/python3";

std::string ScriptsFolder() {
  const char* data = std::getenv("ZENTORA_TEST_DATA");
  return std::string(data == nullptr ? "tests/spreadsheet" : data) + "/interop/";
}

// Runs a shell command; returns its standard output, or nullopt when it failed.
std::optional<std::string> Run(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string output;
  char buffer[4096];
  std::size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  if (pclose(pipe) != 0) return std::nullopt;
  return output;
}

bool HavePythonModule(const std::string& module) {
  return Run(std::string(kPython) + " -c 'import " + module + "' 2>/dev/null").has_value();
}

bool HaveLibreOffice() { return Run("command -v soffice >/dev/null 2>&1").has_value(); }

std::string Unhex(const std::string& hex) {
  if (hex == "-") return "";
  std::string text;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    text.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return text;
}

// What openpyxl reads from a workbook: "cell <sheet> <coord>" -> text, and sets of other facts.
struct OpenpyxlView {
  std::map<std::string, std::string> cells;
  std::map<std::string, std::string> formats;
  std::set<std::string> facts;
};

OpenpyxlView ReadWithOpenpyxl(const std::string& path) {
  std::optional<std::string> output =
      Run(std::string(kPython) + " " + ScriptsFolder() + "read_openpyxl.py '" + path + "'");
  if (!output) throw std::runtime_error("openpyxl could not read " + path);
  OpenpyxlView view;
  std::istringstream lines(*output);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string kind, sheet, second, third;
    words >> kind >> sheet >> second >> third;
    if (kind == "cell") {
      view.cells[Unhex(sheet) + "!" + second] = Unhex(third);
    } else if (kind == "format") {
      view.formats[Unhex(sheet) + "!" + second] = Unhex(third);
    } else {
      view.facts.insert(kind + " " + Unhex(sheet) + (second.empty() ? "" : " " + second) +
                        (third.empty() ? "" : " " + third));
    }
  }
  return view;
}

// Converts `files` in one LibreOffice run to `format` into `outFolder`.
// CSV is read and written as UTF-8 with comma separators.
bool ConvertWithLibreOffice(const std::vector<std::string>& files, const std::string& format,
                            const std::string& outFolder) {
  std::string target = format == "csv" ? "'csv:Text - txt - csv (StarCalc):44,34,76'" : format;
  std::string command =
      "cd '" + outFolder + "' && timeout 180 soffice --headless -env:UserInstallation=file://" + outFolder +
      "/profile --infilter=CSV:44,34,76 --convert-to " + target + " --outdir '" + outFolder + "'";
  for (const std::string& file : files) command += " '" + file + "'";
  return Run(command + " >/dev/null 2>&1").has_value();
}

std::string MakeWithPython(const std::string& module, const std::string& script,
                           const TemporaryFolder& folder) {
  std::string path = folder.File(script + ".xlsx");
  if (!Run(std::string(kPython) + " " + ScriptsFolder() + script + ".py '" + path + "'")) {
    throw std::runtime_error(module + " failed to write " + path);
  }
  return path;
}

TEST(Interop, ReadsAWorkbookWrittenByOpenpyxl) {
  if (!HavePythonModule("openpyxl"))
    GTEST_SKIP() << "python3-openpyxl is not installed: interop test skipped";
  TemporaryFolder folder;
  auto workbook = Workbook::Open(MakeWithPython("openpyxl", "make_openpyxl", folder));
  Worksheet& sheet = workbook->FirstSheet();
  EXPECT_EQ(workbook->SheetAt(0).name, "Items");
  EXPECT_EQ(sheet.CellText(1, 4), "Vorname");
  EXPECT_EQ(sheet.CellText(2, 5), "Äpfel");
  EXPECT_EQ(sheet.CellText(3, 3), "  spaced  ");
  EXPECT_EQ(sheet.CellText(4, 2), "42");
  EXPECT_EQ(sheet.CellText(4, 3), "0.1");
  EXPECT_EQ(sheet.CellText(4, 4), "TRUE");
  EXPECT_EQ(sheet.CellText(4, 5), "05.12.2026 14:30:00");
  EXPECT_EQ(sheet.CellText(5, 2), "") << "openpyxl stores no cached result for a formula";
  EXPECT_EQ(sheet.CellText(5, 3), "29.02.2024");
  EXPECT_EQ(sheet.CellText(5, 4), "-7.25");
  EXPECT_EQ(sheet.CellText(5, 5), "line\nbreak");
  EXPECT_EQ(workbook->Sheet(1).CellText(2, 2), "3.5");
}

TEST(Interop, ReadsAWorkbookWrittenByXlsxwriter) {
  if (!HavePythonModule("xlsxwriter"))
    GTEST_SKIP() << "python3-xlsxwriter is not installed: interop test skipped";
  TemporaryFolder folder;
  auto workbook = Workbook::Open(MakeWithPython("xlsxwriter", "make_xlsxwriter", folder));
  Worksheet& sheet = workbook->FirstSheet();
  EXPECT_EQ(sheet.CellText(1, 1), "ID");
  EXPECT_EQ(sheet.CellText(2, 2), "plain bold tail");
  EXPECT_EQ(sheet.CellText(3, 1), "1234567.5");
  EXPECT_EQ(sheet.CellText(3, 2), "31.01.2026");
  EXPECT_EQ(sheet.CellText(3, 3), "31.01.2026 08:05:09");
  EXPECT_EQ(sheet.CellText(4, 1), "42");
  EXPECT_EQ(sheet.CellText(4, 2), "FALSE");
  EXPECT_EQ(sheet.CellText(5, 1), "tab\there");
  EXPECT_EQ(sheet.CellText(1, 4), "merged");
  EXPECT_EQ(sheet.mergedRanges(), (std::vector<CellRange>{ParseRangeAddress("D1:E2")}));
}

// The workbook the engine saves in the write-back tests: openpyxl's, edited as the component would.
std::vector<std::string> EditedTexts() {
  return {"  lead and trail  ",
          "tab\tinside",
          "lf\nline",
          "cr\rreturn",
          "crlf\r\nline",
          "_x0041_ literal",
          "\xF0\x9F\x98\x80 emoji",
          "<&> specials",
          "bell\x07 control"};
}

std::string SaveEditedOpenpyxlWorkbook(const TemporaryFolder& folder) {
  auto workbook = Workbook::Open(MakeWithPython("openpyxl", "make_openpyxl", folder));
  Worksheet& sheet = workbook->FirstSheet();
  for (std::uint32_t row = 2; row <= 5; ++row) {
    for (std::uint32_t column = 1; column <= 5; ++column) sheet.SetTextFormat(row, column);
  }
  std::vector<std::string> texts = EditedTexts();
  for (std::size_t i = 0; i < texts.size(); ++i)
    sheet.SetCellText(static_cast<std::uint32_t>(10 + i), 3, texts[i]);
  sheet.SetCellText(2, 3, "changed");
  sheet.DeleteRows(3, 3);
  std::string path = folder.File("saved by engine.xlsx");
  workbook->SaveAs(path, true);
  return path;
}

// A workbook the engine makes from nothing, as the component does for a new store.
std::string SaveNewWorkbook(const TemporaryFolder& folder) {
  auto workbook = Workbook::CreateEmpty();
  const char* headings[] = {"ID", "TYPE", "TEXT", "Vorname", "Nachname"};
  for (std::uint32_t column = 1; column <= 5; ++column) {
    workbook->FirstSheet().SetCellText(1, column, headings[column - 1]);
    workbook->FirstSheet().SetTextFormat(2, column);
  }
  workbook->FirstSheet().SetCellText(2, 1, "{NEW}");
  std::string path = folder.File("new.xlsx");
  workbook->SaveAs(path, true);
  return path;
}

TEST(Interop, OpenpyxlReadsBackWhatTheEngineSaved) {
  if (!HavePythonModule("openpyxl"))
    GTEST_SKIP() << "python3-openpyxl is not installed: interop test skipped";
  TemporaryFolder folder;
  OpenpyxlView fresh = ReadWithOpenpyxl(SaveNewWorkbook(folder));
  EXPECT_EQ(fresh.cells["Tabelle1!E1"], "Nachname");
  EXPECT_EQ(fresh.cells["Tabelle1!A2"], "{NEW}");
  EXPECT_EQ(fresh.formats["Tabelle1!B2"], "@");

  OpenpyxlView view = ReadWithOpenpyxl(SaveEditedOpenpyxlWorkbook(folder));
  EXPECT_EQ(view.cells["Items!A1"], "ID");
  EXPECT_EQ(view.cells["Items!C2"], "changed");
  EXPECT_EQ(view.cells["Items!A3"], "{C}") << "row 3 was deleted and the rows below moved up";
  EXPECT_EQ(view.cells["Items!E3"].substr(0, 9), "46361.604")
      << "a date cell in text format shows its number";
  EXPECT_EQ(view.cells["Other!A1"], "kept");
  EXPECT_EQ(view.cells["Other!B2"], "3.5");
  // openpyxl does not decode the format's _xHHHH_ escapes, so it shows them as they are stored.
  std::vector<std::string> texts = EditedTexts();
  texts[3] = "cr_x000D_return";
  texts[4] = "crlf_x000D_\nline";
  texts[5] = "_x005F_x0041_ literal";
  texts[8] = "bell_x0007_ control";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(view.cells["Items!C" + std::to_string(9 + i)], texts[i]) << "text " << i;
  }
  EXPECT_EQ(view.formats["Items!A2"], "@");
  EXPECT_EQ(view.formats["Items!E4"], "@");
  EXPECT_TRUE(view.facts.count("bold Items A1"));
  EXPECT_TRUE(view.facts.count("merge Items G2:H2"));
  EXPECT_TRUE(view.facts.count("merge Items G5:H6"));
  EXPECT_TRUE(view.facts.count("height Items 3 33.0")) << "row 4's height moved up with it";
}

TEST(Interop, LibreOfficeWorkbooksAreReadAndTheEnginesWorkbooksConvert) {
  if (!HaveLibreOffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed: interop test skipped";
  if (!HavePythonModule("openpyxl"))
    GTEST_SKIP() << "python3-openpyxl is not installed: interop test skipped";
  TemporaryFolder folder;
  std::string csv = folder.File("from csv.csv");
  WriteFile(csv, "ID,TEXT,Number\n{L1},\"comma, inside\",12.5\n{L2},Ünïcödé,-3\n");
  std::string edited = SaveEditedOpenpyxlWorkbook(folder);
  std::string fresh = SaveNewWorkbook(folder);
  ASSERT_TRUE(ConvertWithLibreOffice({csv}, "xlsx", folder.path().string())) << "soffice failed";
  auto converted = Workbook::Open(folder.File("from csv.xlsx"));
  EXPECT_EQ(converted->FirstSheet().CellText(2, 2), "comma, inside");
  EXPECT_EQ(converted->FirstSheet().CellText(3, 2), "Ünïcödé");
  EXPECT_EQ(converted->FirstSheet().CellText(2, 3), "12.5");
  EXPECT_EQ(converted->FirstSheet().CellText(3, 3), "-3");
  converted->FirstSheet().SetCellText(4, 1, "{L3}");
  converted->FirstSheet().SetTextFormat(4, 1);
  std::string resaved = folder.File("resaved.xlsx");
  converted->SaveAs(resaved, true);

  ASSERT_TRUE(ConvertWithLibreOffice({edited, resaved, fresh}, "csv", folder.path().string()))
      << "soffice failed";
  EXPECT_EQ(ReadFile(folder.File("new.csv")), "ID,TYPE,TEXT,Vorname,Nachname\n{NEW},,,,\n");
  std::string editedCsv = ReadFile(folder.File("saved by engine.csv"));
  EXPECT_NE(editedCsv.find("ID,TYPE,TEXT,Vorname,Nachname"), std::string::npos) << editedCsv;
  EXPECT_NE(editedCsv.find("{A},contact,changed,Anna,Äpfel"), std::string::npos) << editedCsv;
  EXPECT_NE(editedCsv.find("{C},42,0.1,1,46361.6041666667"), std::string::npos)
      << "text format shows numbers: " << editedCsv;
  EXPECT_NE(editedCsv.find("{D},2,"), std::string::npos) << "the formula survived: " << editedCsv;
  EXPECT_NE(editedCsv.find(",,  lead and trail  ,"), std::string::npos) << editedCsv;
  EXPECT_NE(editedCsv.find(",,_x0041_ literal,"), std::string::npos)
      << "LibreOffice decodes the escapes: " << editedCsv;
  EXPECT_NE(editedCsv.find(",,\"lf\nline\","), std::string::npos) << editedCsv;
  std::string resavedCsv = ReadFile(folder.File("resaved.csv"));
  EXPECT_NE(resavedCsv.find("{L1},\"comma, inside\",12.5"), std::string::npos) << resavedCsv;
  EXPECT_NE(resavedCsv.find("{L3}"), std::string::npos) << resavedCsv;
}

}  // namespace
}  // namespace zentora::spreadsheet
