// The command-line program on a temporary copy of the bundled example, run as
// a user runs it; the workbook is checked afterwards with openpyxl.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "Python.h"
#include "Workbooks.h"

namespace zentora::cli {
namespace {

using excel::testing::HaveOpenpyxl;
using excel::testing::ProcessOutcome;
using excel::testing::RunShell;
using excel::testing::ShellQuoted;
using excel::testing::TempFolder;

class Example : public ::testing::Test {
 protected:
  void SetUp() override {
    book = folder.Path("Adressbuch.xlsx");
    std::filesystem::copy_file(ZENTORA_EXAMPLE_BOOK, book);
  }

  ProcessOutcome Program(const std::string& arguments) {
    return RunShell(std::string(ZENTORA_EXCEL_PROGRAM) + " " + arguments);
  }

  // Runs a Python snippet with `sheet` bound to the first sheet of the book, loaded by openpyxl.
  ProcessOutcome Openpyxl(const std::string& snippet) {
    const std::string script = folder.Path("check.py");
    std::ofstream(script) << "import openpyxl\nsheet = openpyxl.load_workbook(" << ShellQuoted(book)
                          << ").worksheets[0]\n"
                          << snippet << "\n";
    return RunShell("/usr/bin/python3 " + ShellQuoted(script));
  }

  TempFolder folder;
  std::string book;
};

TEST_F(Example, ListShowsTheAddressBook) {
  const ProcessOutcome listed = Program("list --wide " + ShellQuoted(book));
  ASSERT_EQ(listed.code, 0) << listed.out;
  EXPECT_EQ(listed.out.rfind("ID   TYPE     TEXT", 0), 0U) << listed.out;
  EXPECT_NE(listed.out.find("k03  contact  Zoë Schäfer"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("Straße"), std::string::npos);
}

TEST_F(Example, ChangesMadeFromTheCommandLineOpenInOpenpyxl) {
  if (!HaveOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is not installed";
  ASSERT_EQ(Program("set " + ShellQuoted(book) + " K02 Ort 'Fürth'").code, 0);
  ASSERT_EQ(Program("set " + ShellQuoted(book) + " k05 text 'Lüder Hoß\nHafen'").code, 0);
  const ProcessOutcome created =
      Program("new " + ShellQuoted(book) + " --text 'Neue Ärztin' --data 'Telefon=0800 1'");
  ASSERT_EQ(created.code, 0) << created.out;
  const std::string id = created.out.substr(0, created.out.size() - 1);
  const ProcessOutcome deleted = Program("delete " + ShellQuoted(book) + " K03");
  ASSERT_EQ(deleted.code, 0) << deleted.out;
  EXPECT_EQ(deleted.out, "");

  const ProcessOutcome checked = Openpyxl(
      "rows = [[c.value for c in r] for r in sheet.iter_rows()]\n"
      "assert rows[0][:10] == "
      "['ID','TYPE','TEXT','Vorname','Nachname','Straße','PLZ','Ort','Telefon','E-Mail'], rows[0]\n"
      "assert [r[0] for r in rows[1:4]] == ['k01','k02','k04'] and rows[2][7] == 'Fürth', rows[2]\n"
      "assert rows[4][2] == 'Lüder Hoß\\nHafen', repr(rows[4][2])\n"
      "assert rows[10][0] == " +
      ShellQuoted(id) +
      " and len(rows) == 11, rows[10:]\n"
      "assert rows[10][2] == 'Neue Ärztin' and rows[10][8] == '0800 1', rows[10]\n"
      "assert sheet.cell(11, 3).number_format == '@'\n"
      "print('ok')");
  EXPECT_EQ(checked.out, "ok\n");
}

}  // namespace
}  // namespace zentora::cli
