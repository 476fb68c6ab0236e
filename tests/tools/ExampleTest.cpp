// The command-line program on a temporary copy of the bundled example, run as
// a user runs it; the workbook is checked afterwards with openpyxl.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "Workbooks.h"

namespace zentora::cli {
namespace {

using excel::testing::TempFolder;

struct Outcome {
  int code;
  std::string out;
};

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

Outcome Shell(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, ""};
  std::string out;
  std::array<char, 4096> buffer{};
  while (const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), pipe))
    out.append(buffer.data(), read);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

bool HaveOpenpyxl() { return Shell("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null").code == 0; }

class Example : public ::testing::Test {
 protected:
  void SetUp() override {
    book = folder.Path("Adressbuch.xlsx");
    std::filesystem::copy_file(ZENTORA_EXAMPLE_BOOK, book);
  }

  Outcome Program(const std::string& arguments) {
    return Shell(std::string(ZENTORA_EXCEL_PROGRAM) + " " + arguments + " 2>&1");
  }

  // Runs a Python snippet with `sheet` bound to the first sheet of the book, loaded by openpyxl.
  Outcome Openpyxl(const std::string& snippet) {
    const std::string script = folder.Path("check.py");
    std::ofstream(script) << "import openpyxl\nsheet = openpyxl.load_workbook(" << Quoted(book)
                          << ").worksheets[0]\n"
                          << snippet << "\n";
    return Shell("/usr/bin/python3 " + Quoted(script) + " 2>&1");
  }

  TempFolder folder;
  std::string book;
};

TEST_F(Example, ListShowsTheAddressBook) {
  const Outcome listed = Program("list " + Quoted(book));
  ASSERT_EQ(listed.code, 0) << listed.out;
  EXPECT_EQ(listed.out.rfind("ID   TYPE     TEXT", 0), 0U) << listed.out;
  EXPECT_NE(listed.out.find("k03  contact  Zoë Schäfer"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("Straße"), std::string::npos);
}

TEST_F(Example, ChangesMadeFromTheCommandLineOpenInOpenpyxl) {
  if (!HaveOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is not installed";
  ASSERT_EQ(Program("set " + Quoted(book) + " K02 Ort 'Fürth'").code, 0);
  ASSERT_EQ(Program("set " + Quoted(book) + " k05 text 'Lüder Hoß\nHafen'").code, 0);
  const Outcome created = Program("new " + Quoted(book) + " --text 'Neue Ärztin' --data 'Telefon=0800 1'");
  ASSERT_EQ(created.code, 0) << created.out;
  const std::string id = created.out.substr(0, created.out.size() - 1);

  const Outcome checked = Openpyxl(
      "rows = [[c.value for c in r] for r in sheet.iter_rows()]\n"
      "assert rows[0][:10] == "
      "['ID','TYPE','TEXT','Vorname','Nachname','Straße','PLZ','Ort','Telefon','E-Mail'], rows[0]\n"
      "assert rows[2][7] == 'Fürth', rows[2]\n"
      "assert rows[5][2] == 'Lüder Hoß\\nHafen', repr(rows[5][2])\n"
      "assert rows[11][0] == " +
      Quoted(id) +
      ", rows[11]\n"
      "assert rows[11][2] == 'Neue Ärztin' and rows[11][8] == '0800 1', rows[11]\n"
      "assert sheet.cell(12, 3).number_format == '@'\n"
      "print('ok')");
  EXPECT_EQ(checked.out, "ok\n");
}

}  // namespace
}  // namespace zentora::cli
