// The command line on a workbook with every fixed column, run in process on the
// project's engine and checked with openpyxl; and the messages of the mistakes
// a user makes, which must leave the file as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "Cli.h"
#include "Python.h"
#include "Workbooks.h"
#include "outside/Clock.h"

namespace zentora::cli {
namespace {

using excel::testing::RunPython;
using excel::testing::ShellQuoted;
using excel::testing::TempFolder;

std::string Bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

class FieldCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    excel::testing::WriteWorkbook(*excel::CreateExcelApplication(), book,
                                  {{"ID", "TYPE", "TEXT", "DATUM", "KEYWORDS", "LOG", "OWNER", "ACCESS",
                                    "EVALCOUNT", "FILESIZE", "EVAL", "EVALALL", "SOURCE", "Phone"},
                                   {"k1", "contact", "Anna", "20260101", "rot", "20261201090000", "anna",
                                    "all", "2", "10", "gut", "4,5", "web", "0221"}});
  }

  int Run(const std::vector<std::string>& args) {
    std::ostringstream outStream;
    std::ostringstream errStream;
    const int code = cli::Run(args, outStream, errStream);
    out = outStream.str();
    err = errStream.str();
    return code;
  }

  // Runs Python `assertions` with `row` bound to the cell values of row 2 of `path`'s first sheet.
  std::string Openpyxl(const std::string& path, const std::string& assertions) {
    return RunPython("import openpyxl\nws = openpyxl.load_workbook(" + ShellQuoted(path) +
                     ").worksheets[0]\nhead = [c.value for c in ws[1]]\nrow = [c.value for c in ws[2]]\n" +
                     assertions + "\nprint('ok')")
        .out;
  }

  TempFolder folder;
  std::string book = folder.Path("Alle.xlsx");
  std::string out;
  std::string err;
};

TEST_F(FieldCommands, FixedFieldsAreReadThroughTheItemInAnyCase) {
  const struct {
    std::string field;
    std::string value;
  } cases[] = {{"KEYWORDS", "rot\n"},  {"Log", "20261201090000\n"}, {"evalall", "4\n"},
               {"evalcount", "0\n"},   {"SOURCE", "web\n"},         {"$phone", "0221\n"},
               {"datum", "20260101\n"}};
  for (const auto& example : cases) {
    EXPECT_EQ(Run({"get", book, "K1", example.field}), 0) << err;
    EXPECT_EQ(out, example.value) << example.field;
  }
}

TEST_F(FieldCommands, ChangesGoThroughTheItemAndReachTheWorkbook) {
  const excel::FixedClock clock({2026, 12, 5, 10, 0, 0});
  const excel::ClockOverride useClock(clock);
  ASSERT_EQ(Run({"set", book, "k1", "text", "Anna M."}), 0) << err;
  ASSERT_EQ(Run({"set", book, "k1", "OWNER", "jörg"}), 0) << err;
  ASSERT_EQ(Run({"view", book, "k1"}), 0) << err;
  ASSERT_EQ(Run({"log", book, "k1"}), 0) << err;
  EXPECT_EQ(out,
            "created: 2026-12-01 09:00:00\nchanged: 2026-12-05 10:00:00 (2 times)\n"
            "viewed: 2026-12-05 10:00:00 (1 time)\n");
  ASSERT_EQ(Run({"keywords", book, "k1", "add", "grün", "rot"}), 0) << err;
  EXPECT_NE(err.find("keyword \"rot\" is already there"), std::string::npos) << err;
  ASSERT_EQ(Run({"rating", book, "k1", "--json"}), 0) << err;
  EXPECT_EQ(out, "{\"rating\": 4, \"text\": \"4,5\"}\n");
  EXPECT_EQ(
      Openpyxl(book, "assert row[4] == 'rot,grün', row\nassert row[5].startswith('20261201090000,'), row"),
      "ok\n");
}

TEST_F(FieldCommands, ATextFormFromAnotherWorkbookReproducesItsFields) {
  ASSERT_EQ(Run({"text", book, "k1"}), 0) << err;
  const std::string form = out.substr(0, out.size() - 1);
  const std::string other = folder.Path("Andere.xlsx");
  excel::testing::WriteWorkbook(*excel::CreateExcelApplication(), other, {{"ID", "TEXT"}, {"z9", "alt"}});
  ASSERT_EQ(Run({"text", other, "z9", "--set", form}), 0) << err;
  // The form carries no date, source or evaluation into another store; everything else arrives.
  EXPECT_EQ(
      Openpyxl(
          other,
          "d = dict(zip(head, row))\n"
          "assert d == {'ID': 'k1', 'TEXT': 'Anna', 'TYPE': 'contact', 'Phone': '0221', 'KEYWORDS': 'rot', "
          "'ACCESS': 'all', 'OWNER': 'anna', 'LOG': '20261201090000'}, d"),
      "ok\n");
}

TEST_F(FieldCommands, MistakesAreNamedAndLeaveTheFileAsItWas) {
  std::string encrypted = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(504, '\0');
  for (const char c : std::string("EncryptedPackage")) encrypted += {c, '\0'};
  std::ofstream(folder.Path("Tabelle.csv")) << "ID;Name\n1;Anna\n";
  std::ofstream(folder.Path("Alt.xls"), std::ios::binary) << std::string(encrypted, 0, 512);
  std::ofstream(folder.Path("Geheim.xlsx"), std::ios::binary) << encrypted;
  RunPython("import zipfile\nz = zipfile.ZipFile(" + ShellQuoted(folder.Path("Calc.ods")) +
            ", 'w')\nz.writestr('mimetype', 'application/vnd.oasis.opendocument.spreadsheet')\nz.close()");
  std::filesystem::create_directory(folder.Path("Ordner.xlsx"));
  const std::string doubled = folder.Path("Doppelt.xlsx");
  excel::testing::WriteWorkbook(*excel::CreateExcelApplication(), doubled, {{"ID", "Phone", "phone"}});
  const struct {
    std::vector<std::string> args;
    int code;
    std::vector<std::string> named;
  } cases[] = {
      {{"list", doubled}, 1, {doubled, "\"Phone\" in column B", "\"phone\" in column C", "letter case"}},
      {{"set", book, "k1", "Phnoe", "1"},
       3,
       {book, "no column \"Phnoe\"", "\"Phone\" (column N)", "--add-field"}},
      {{"list", folder.Path("Calc.ods")},
       1,
       {"Calc.ods: this is an OpenDocument spreadsheet; save it as .xlsx"}},
      {{"list", folder.Path("Alt.xls")}, 1, {"Alt.xls: this is a legacy binary .xls workbook"}},
      {{"list", folder.Path("Tabelle.csv")}, 1, {"Tabelle.csv: this is a CSV or other text file"}},
      {{"list", folder.Path("Geheim.xlsx")}, 1, {"Geheim.xlsx: this workbook is encrypted"}},
      {{"list", folder.Path("Ordner.xlsx")}, 1, {"Ordner.xlsx is a folder, not a workbook"}},
      {{"get", book, "k1", "text", "mehr"},
       2,
       {"too many arguments for get: it takes BOOK, ID and FIELD, not also \"mehr\""}},
  };
  for (const auto& example : cases) {
    const std::string file = example.args[1];
    const std::string before = std::filesystem::is_directory(file) ? "" : Bytes(file);
    EXPECT_EQ(Run(example.args), example.code) << err;
    for (const std::string& part : example.named) EXPECT_NE(err.find(part), std::string::npos) << err;
    EXPECT_EQ(err.find("error "), std::string::npos) << err;
    EXPECT_EQ(std::filesystem::is_directory(file) ? "" : Bytes(file), before) << file;
  }
}

TEST_F(FieldCommands, AFirstOpeningSaysWhatItChangesAndDryRunWritesNothing) {
  const std::string plain = folder.Path("Ohne.xlsx");
  excel::testing::WriteWorkbook(*excel::CreateExcelApplication(), plain,
                                {{"TEXT", "Notiz"}, {"eins", std::string(5000, 'x')}, {"zwei", ""}});
  const std::string before = Bytes(plain);
  ASSERT_EQ(Run({"--dry-run", "list", plain}), 0) << err;
  EXPECT_NE(err.find("adds the heading \"ID\" in column C and writes new IDs into 2 rows"), std::string::npos)
      << err;
  EXPECT_NE(err.find("--dry-run: nothing is written"), std::string::npos) << err;
  EXPECT_EQ(Bytes(plain), before);
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LE(std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; }), 100)
        << line;
  }
  ASSERT_EQ(Run({"list", plain}), 0) << err;
  EXPECT_NE(err, "");
  ASSERT_EQ(Run({"list", plain}), 0) << err;
  EXPECT_EQ(err, "");
}

}  // namespace
}  // namespace zentora::cli
