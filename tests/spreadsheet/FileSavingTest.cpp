#include "Spreadsheet/package/FileSaving.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "Spreadsheet/Error.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

namespace fs = std::filesystem;
using testing::ExpectError;
using testing::ReadFile;
using testing::TemporaryFolder;
using testing::WriteFile;

std::size_t EntriesIn(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

mode_t ModeOf(const std::string& path) {
  struct stat info;
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

TEST(ReplaceFile, ReplacesTheContentAndLeavesNoTemporaryFile) {
  TemporaryFolder folder;
  std::string path = folder.File("book.xlsx");
  WriteFile(path, "old");
  ReplaceFile(path, "new content", true);
  EXPECT_EQ(ReadFile(path), "new content");
  EXPECT_EQ(EntriesIn(folder.path()), 1u);
  ReplaceFile(folder.File("fresh.xlsx"), "created", false);
  EXPECT_EQ(ReadFile(folder.File("fresh.xlsx")), "created");
}

TEST(ReplaceFile, KeepsThePermissionBitsOfTheFileItReplaces) {
  TemporaryFolder folder;
  std::string path = folder.File("book.xlsx");
  WriteFile(path, "old");
  chmod(path.c_str(), 0640);
  ReplaceFile(path, "new", true);
  EXPECT_EQ(ModeOf(path), 0640u);
  chmod(path.c_str(), 0604);
  ReplaceFile(path, "newer", true);
  EXPECT_EQ(ModeOf(path), 0604u);
}

TEST(ReplaceFile, SavesThroughASymbolicLinkToItsTarget) {
  TemporaryFolder folder;
  fs::create_directory(folder.path() / "real");
  std::string target = folder.File("real/book.xlsx");
  WriteFile(target, "old");
  fs::create_symlink("real/book.xlsx", folder.path() / "link.xlsx");
  ReplaceFile(folder.File("link.xlsx"), "through the link", true);
  EXPECT_TRUE(fs::is_symlink(folder.path() / "link.xlsx"));
  EXPECT_EQ(ReadFile(target), "through the link");
  EXPECT_EQ(EntriesIn(folder.path() / "real"), 1u);
}

TEST(ReplaceFile, AFailedWriteKeepsTheOldFileAndRemovesTheTemporaryOne) {
  TemporaryFolder folder;
  std::string path = folder.File("book.xlsx");
  WriteFile(path, "the old workbook");
  // A file size limit makes the write fail part-way, as a full disk would.
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  ExpectError(ErrorCode::Io, "cannot write", [&] { ReplaceFile(path, std::string(100'000, 'x'), true); });
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(ReadFile(path), "the old workbook");
  EXPECT_EQ(EntriesIn(folder.path()), 1u);
}

TEST(ReplaceFile, RefusesAFolderAMissingFolderAndAnEmptyName) {
  TemporaryFolder folder;
  EXPECT_THROW(ReplaceFile(folder.path().string(), "x", true), Error);
  ExpectError(ErrorCode::Io, "missing/book.xlsx",
              [&] { ReplaceFile(folder.File("missing/book.xlsx"), "x", true); });
  EXPECT_THROW(ReplaceFile("", "x", true), Error);
}

}  // namespace
}  // namespace zentora::spreadsheet
