// The command-line program on a temporary copy of the bundled example, run as a user runs it: its
// changes open in openpyxl; several processes at once lose no change, reading commands leave a
// prepared workbook alone, failing commands leave it as it was, a listing whose reader went away
// leaves no in-use mark, and a workbook that LibreOffice marks as in use is not written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "Python.h"
#include "Workbooks.h"

namespace zentora::cli {
namespace {

using excel::testing::ProcessOutcome;
using excel::testing::RunPython;
using excel::testing::RunShell;
using excel::testing::ShellQuoted;
using excel::testing::TempFolder;

class ExampleBook : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::copy_file(ZENTORA_EXAMPLE_BOOK, book); }
  ProcessOutcome Program(const std::string& arguments) {
    return RunShell(std::string(ZENTORA_EXCEL_PROGRAM) + " " + arguments + " 2>&1");
  }
  // The bytes, inode and modification time of the book.
  std::string Version() {
    struct stat info {};
    stat(book.c_str(), &info);
    std::ifstream in(book, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {}) + std::to_string(info.st_ino) + "." +
           std::to_string(info.st_mtim.tv_nsec);
  }

  TempFolder folder;
  std::string book = folder.Path("Adressbuch.xlsx");
  std::string quoted = ShellQuoted(book);
};

TEST_F(ExampleBook, ChangesMadeFromTheCommandLineOpenInOpenpyxl) {
  ASSERT_EQ(Program("set " + quoted + " K02 Ort 'Fürth'").code, 0);
  ASSERT_EQ(Program("set " + quoted + " k05 text 'Lüder Hoß\nHafen'").code, 0);
  const ProcessOutcome created = Program("new " + quoted + " --text 'Neue Ärztin' --data 'Telefon=0800 1'");
  const std::string id = created.out.substr(0, created.out.size() - 1);
  EXPECT_EQ(Program("delete " + quoted + " K03").out, "") << "nothing on either stream";

  const ProcessOutcome checked =
      RunPython("import openpyxl\nsheet = openpyxl.load_workbook(" + quoted +
                ").worksheets[0]\n"
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

TEST_F(ExampleBook, EightProcessesAtOnceLoseNoChange) {
  std::vector<std::string> kept;  // the new items' IDs and the values last set
  for (int round = 0; round < 20; ++round) {
    std::vector<std::future<ProcessOutcome>> running;
    for (int process = 0; process < 8; ++process) {
      const std::string value = "r" + std::to_string(round) + "p" + std::to_string(process);
      const std::string arguments =
          process % 2 == 0 ? "--wait 60 new " + quoted + " --text " + value
                           : "--wait 60 set " + quoted + " k0" + std::to_string(process) + " Ort " + value;
      if (process % 2 == 1 && round == 19) kept.push_back(value);
      running.push_back(std::async(std::launch::async, [this, arguments] { return Program(arguments); }));
    }
    for (auto& process : running) {
      const ProcessOutcome outcome = process.get();
      ASSERT_EQ(outcome.code, 0) << outcome.out;
      if (outcome.out.starts_with("{")) kept.push_back(outcome.out.substr(0, outcome.out.size() - 1));
    }
  }
  ASSERT_EQ(kept.size(), 84U);
  const ProcessOutcome listed = Program("list --json " + quoted);
  for (const std::string& text : kept)
    EXPECT_NE(listed.out.find("\"" + text + "\""), std::string::npos) << text;
}

TEST_F(ExampleBook, FailingCommandsLeaveTheWorkbookAsItWasAndReadingOnesLeaveAPreparedOneAlone) {
  std::string version = Version();
  EXPECT_NE(Program("set " + quoted + " k01 text " + std::string(33000, 'x')).code, 0);
  EXPECT_EQ(Version(), version);
  std::ofstream(folder.Path(".~lock.Adressbuch.xlsx#"))
      << ",jdoe,office-pc,05.12.2026 09:30,file:///home/jdoe/lo;";
  const ProcessOutcome refused = Program("--wait 0.2 set " + quoted + " k01 text x");
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.out.find("in use by jdoe on office-pc since 05.12.2026 09:30"), std::string::npos)
      << refused.out;
  EXPECT_EQ(Version(), version);

  std::filesystem::remove(folder.Path(".~lock.Adressbuch.xlsx#"));
  EXPECT_NE(Program("list --wide " + quoted).out.find("\nk03  contact  Zoë Schäfer"), std::string::npos);
  version = Version();
  for (const std::string& arguments : {"list --wide " + quoted, "list --json " + quoted,
                                       "show " + quoted + " k01", "get " + quoted + " k01 text"}) {
    EXPECT_EQ(Program(arguments).code, 0) << arguments;
    EXPECT_EQ(Version(), version) << arguments;
  }
  // A reader gone before a listing larger than the output buffer starts: the command fails and
  // leaves no in-use mark behind.
  const std::string large = folder.Path("Gross.xlsx");
  excel::testing::Grid rows = {{"ID", "TEXT"}};
  for (int row = 1; row <= 2000; ++row)
    rows.push_back({"k" + std::to_string(row), "Zeile " + std::to_string(row)});
  excel::testing::WriteWorkbook(*excel::CreateExcelApplication(), large, rows);
  const ProcessOutcome closedPipe = RunPython(
      "import os, subprocess\nr, w = os.pipe()\nos.close(r)\n"
      "done = subprocess.run([" +
      ShellQuoted(ZENTORA_EXCEL_PROGRAM) + ", 'list', " + ShellQuoted(large) +
      "], stdout=w, stderr=subprocess.PIPE)\n"
      "print(done.returncode, os.path.exists(" +
      ShellQuoted(folder.Path(".~lock.Gross.xlsx#")) + "))\n");
  EXPECT_EQ(closedPipe.out, "1 False\n");
}

}  // namespace
}  // namespace zentora::cli
