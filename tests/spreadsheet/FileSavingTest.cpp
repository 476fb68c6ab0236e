// Saving over a file through a link and refusing names that are no file. Replacing the content,
// keeping permissions and failing at any system call are checked by WorkbookFileTest's
// fault-injecting save.
#include "Spreadsheet/package/FileSaving.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "Spreadsheet/Error.h"
#include "Spreadsheet/package/WorkbookFile.h"
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

TEST(ReplaceFile, SavesThroughASymbolicLinkToTheTargetItChecked) {
  TemporaryFolder folder;
  fs::create_directory(folder.path() / "real");
  std::string target = folder.File("real/book.xlsx");
  WriteFile(target, "old");
  fs::create_symlink("real/book.xlsx", folder.path() / "link.xlsx");
  ReplaceFile(folder.File("link.xlsx"), "through the link", true);
  EXPECT_TRUE(fs::is_symlink(folder.path() / "link.xlsx"));
  EXPECT_EQ(ReadFile(target), "through the link");
  EXPECT_EQ(EntriesIn(folder.path() / "real"), 1u);

  // A held workbook saves to the file it read, even when the link is pointed elsewhere meanwhile.
  auto held = WorkbookFile::Hold(folder.File("link.xlsx"));
  held->Read();
  WriteFile(folder.File("other.xlsx"), "other");
  fs::remove(folder.path() / "link.xlsx");
  fs::create_symlink("other.xlsx", folder.path() / "link.xlsx");
  held->Replace("held");
  EXPECT_EQ(ReadFile(target), "held");
  EXPECT_EQ(ReadFile(folder.File("other.xlsx")), "other");
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
