// Several users and programs on one workbook: command-line processes at once lose no change,
// reading commands leave a prepared workbook alone, failing commands leave it as it was, and a
// workbook that LibreOffice marks as in use is not written.
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
using excel::testing::RunShell;
using excel::testing::ShellQuoted;
using excel::testing::TempFolder;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Sharing : public ::testing::Test {
 protected:
  void SetUp() override {
    book = folder.Path("Adressbuch.xlsx");
    std::filesystem::copy_file(ZENTORA_EXAMPLE_BOOK, book);
  }
  ProcessOutcome Program(const std::string& arguments) {
    return RunShell(std::string(ZENTORA_EXCEL_PROGRAM) + " " + arguments + " 2>&1");
  }
  // The bytes, inode and modification time of the book.
  std::string Version() {
    struct stat info {};
    stat(book.c_str(), &info);
    return ReadFile(book) + std::to_string(info.st_ino) + "." + std::to_string(info.st_mtim.tv_nsec);
  }

  TempFolder folder;
  std::string book;
};

TEST_F(Sharing, EightProcessesAtOnceLoseNoChange) {
  const std::string quoted = ShellQuoted(book);
  std::vector<std::string> created;
  std::vector<std::string> written;
  for (int round = 0; round < 20; ++round) {
    std::vector<std::future<ProcessOutcome>> running;
    for (int process = 0; process < 8; ++process) {
      const std::string value = "r" + std::to_string(round) + "p" + std::to_string(process);
      const std::string arguments =
          process % 2 == 0 ? "--wait 60 new " + quoted + " --text " + value
                           : "--wait 60 set " + quoted + " k0" + std::to_string(process) + " Ort " + value;
      if (process % 2 == 1 && round == 19) written.push_back(value);
      running.push_back(std::async(std::launch::async, [this, arguments] { return Program(arguments); }));
    }
    for (auto& process : running) {
      const ProcessOutcome outcome = process.get();
      ASSERT_EQ(outcome.code, 0) << outcome.out;
      if (outcome.out.starts_with("{")) created.push_back(outcome.out.substr(0, outcome.out.size() - 1));
    }
  }
  const ProcessOutcome listed = Program("list --json " + quoted);
  ASSERT_EQ(created.size(), 80U);
  for (const std::string& text : created)
    EXPECT_NE(listed.out.find("\"" + text + "\""), std::string::npos) << text;
  for (const std::string& text : written)
    EXPECT_NE(listed.out.find("\"" + text + "\""), std::string::npos) << text;
}

TEST_F(Sharing, ReadingCommandsLeaveAPreparedWorkbookAlone) {
  ASSERT_EQ(Program("list " + ShellQuoted(book)).code, 0);
  const std::string prepared = Version();
  const std::string quoted = ShellQuoted(book);
  for (const std::string& arguments : {"list " + quoted, "list --json " + quoted, "show " + quoted + " k01",
                                      "get " + quoted + " k01 text"}) {
    EXPECT_EQ(Program(arguments).code, 0) << arguments;
    EXPECT_EQ(Version(), prepared) << arguments;
  }
}

TEST_F(Sharing, FailingCommandsLeaveTheWorkbookAsItWas) {
  const std::string unprepared = Version();
  const std::string quoted = ShellQuoted(book);
  for (const std::string& arguments :
       {"get " + quoted + " k99 text", "show " + quoted + " k99", "delete " + quoted + " k99",
        "set " + quoted + " k01 text " + std::string(33000, 'x'), "get " + quoted + " k01 Faxnummer"}) {
    EXPECT_EQ(Program(arguments).code, 1) << arguments;
    EXPECT_EQ(Version(), unprepared) << arguments;
  }
  std::ofstream(folder.Path(".~lock.Adressbuch.xlsx#"))
      << ",jdoe,office-pc,05.12.2026 09:30,file:///home/jdoe/lo;";
  const ProcessOutcome refused = Program("--wait 0.2 set " + quoted + " k01 text x");
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.out.find("in use by jdoe on office-pc since 05.12.2026 09:30"), std::string::npos)
      << refused.out;
  EXPECT_EQ(Version(), unprepared);
}

}  // namespace
}  // namespace zentora::cli
