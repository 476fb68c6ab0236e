// A workbook held for editing: the in-use mark, saving only changes and only over the version
// that was read, and saves that fail at any system call leaving the old file and no temporary.
#include "Spreadsheet/package/WorkbookFile.h"

#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "Spreadsheet/workbook/Workbook.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

using namespace std::chrono_literals;
using testing::ExpectError;
using testing::ReadFile;
using testing::TemporaryFolder;
using testing::WriteFile;

enum class Call { Open, Write, Sync, Close, Rename, Mode, Owner, Attribute, Truncate };

// Fails the `failAt`-th call (from 1) of one kind with EIO, as leveldb's fault-injection Env does.
class FaultyFileSystem : public FileSystem {
 public:
  FaultyFileSystem(Call call, int failAt) : call_(call), failAt_(failAt) {}
  bool failed = false;

  int Open(const std::string& p, int f, mode_t m) override {
    return Fail(Call::Open) ? -1 : FileSystem::Open(p, f, m);
  }
  ssize_t Write(int fd, const void* d, std::size_t n) override {
    return Fail(Call::Write) ? -1 : FileSystem::Write(fd, d, n);
  }
  int Sync(int fd) override { return Fail(Call::Sync) ? -1 : FileSystem::Sync(fd); }
  int Close(int fd) override {
    int closed = FileSystem::Close(fd);
    return Fail(Call::Close) ? -1 : closed;
  }
  int Rename(const std::string& a, const std::string& b) override {
    return Fail(Call::Rename) ? -1 : FileSystem::Rename(a, b);
  }
  int ChangeMode(int fd, mode_t m) override { return Fail(Call::Mode) ? -1 : FileSystem::ChangeMode(fd, m); }
  int ChangeOwner(int fd, uid_t u, gid_t g) override {
    return Fail(Call::Owner) ? -1 : FileSystem::ChangeOwner(fd, u, g);
  }
  int SetAttribute(int fd, const char* n, const void* v, std::size_t s) override {
    return Fail(Call::Attribute) ? -1 : FileSystem::SetAttribute(fd, n, v, s);
  }
  int Truncate(int fd, off_t s) override { return Fail(Call::Truncate) ? -1 : FileSystem::Truncate(fd, s); }

 private:
  bool Fail(Call call) {
    if (call != call_ || ++count_ != failAt_) return false;
    failed = true;
    errno = EIO;
    return true;
  }
  Call call_;
  int failAt_;
  int count_ = 0;
};

TEST(ReplaceFile, AFailureAtAnySystemCallKeepsTheOldFileAndLeavesNoTemporary) {
  for (bool hardLinked : {false, true}) {
    for (Call call : {Call::Open, Call::Write, Call::Sync, Call::Close, Call::Rename, Call::Mode, Call::Owner,
                      Call::Attribute, Call::Truncate}) {
      for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE(::testing::Message()
                     << "call " << static_cast<int>(call) << " #" << failAt << " linked " << hardLinked);
        TemporaryFolder folder;
        const std::string path = folder.File("book.xlsx");
        WriteFile(path, "old");
        setxattr(path.c_str(), "user.origin", "mail", 4, 0);  // where the file system has them
        const std::string other = folder.File("other name.xlsx");
        if (hardLinked) std::filesystem::create_hard_link(path, other);
        FaultyFileSystem files(call, failAt);
        bool threw = false;
        try {
          ReplaceFile(path, "new content", true, files);
        } catch (const Error& error) {
          threw = true;
          EXPECT_TRUE(files.failed) << error.what();
          EXPECT_EQ(std::string(error.what()).find(".tmp"), std::string::npos) << error.what();
        }
        // A fault the save may ride over (closing a file it only read) leaves the new content.
        EXPECT_EQ(ReadFile(path), threw ? "old" : "new content");
        if (hardLinked) {
          EXPECT_EQ(ReadFile(other), ReadFile(path));
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), hardLinked ? 2 : 1);
        if (!files.failed) break;
      }
    }
  }
}

TEST(WorkbookFile, SavesOnlyAChangeAndOnlyOverTheVersionItRead) {
  TemporaryFolder folder;
  const std::string path = folder.File("book.xlsx");
  Workbook::CreateEmpty()->SaveAs(path, false);
  WriteFile(folder.File(".book.xlsx.0123456789abcdef.tmp"), "left by a killed save");
  auto book = Workbook::OpenForEditing(path);
  struct stat before, after;
  stat(path.c_str(), &before);
  book->FirstSheet().SetCellText(1, 1, "");
  book->FirstSheet().SetTextFormat(1, 1);
  book->FirstSheet().SetTextFormat(1, 1);
  book->Save();
  book->FirstSheet().SetCellText(1, 1, "ID");
  book->FirstSheet().SetCellText(1, 1, "ID");
  book->Save();
  stat(path.c_str(), &after);
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_FALSE(std::filesystem::exists(folder.File(".book.xlsx.0123456789abcdef.tmp")));
  book->SaveAs(path, true);
  stat(path.c_str(), &before);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);

  book->FirstSheet().SetCellText(2, 1, "mine");
  WriteFile(path, "another program's version");
  ExpectError(ErrorCode::ChangedOnDisk, path + ": another program changed it", [&] { book->Save(); });
  EXPECT_EQ(ReadFile(path), "another program's version");
  book.reset();
  ExpectError(ErrorCode::ChangedOnDisk, "another program created it",
              [&] { Workbook::CreateEmpty()->SaveAsNewFile(path); });
}

TEST(WorkbookFile, WaitsForItsHolderAndNamesIt) {
  TemporaryFolder folder;
  const std::string path = folder.File("book.xlsx");
  const std::string lock = folder.File(".~lock.book.xlsx#");
  WriteFile(lock, ",jdoe,office-pc,05.12.2026 09:30,file:///home/jdoe/.config/libreoffice/4;");
  ExpectError(ErrorCode::InUse, "in use by jdoe on office-pc since 05.12.2026 09:30",
              [&] { WorkbookFile::Hold(path, {100ms}); });
  EXPECT_EQ(ReadFile(lock), ",jdoe,office-pc,05.12.2026 09:30,file:///home/jdoe/.config/libreoffice/4;");

  WriteFile(lock, ",someone,gone-host,01.01.2020 00:00,zentora:99999999;");  // ours, its process gone
  auto held = WorkbookFile::Hold(path, {0ms});
  EXPECT_NE(ReadFile(lock).find(",zentora:" + std::to_string(getpid()) + ";"), std::string::npos);
  ExpectError(ErrorCode::InUse, "(waited 0.1 s", [&] { WorkbookFile::Hold(path, {100ms}); });
  held.reset();
  EXPECT_FALSE(std::filesystem::exists(lock));
}

TEST(ReplaceFile, RefusesAFileWithoutWritePermission) {
  TemporaryFolder folder;
  const std::string path = folder.File("book.xlsx");
  WriteFile(path, "old");
  chmod(path.c_str(), 0444);
  ExpectError(ErrorCode::ReadOnly, path + ": the file is read-only", [&] { ReplaceFile(path, "new", true); });
  EXPECT_EQ(ReadFile(path), "old");
}

}  // namespace
}  // namespace zentora::spreadsheet
