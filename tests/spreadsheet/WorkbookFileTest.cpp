// A workbook held for editing: the in-use mark, saving only changes and only over the version
// that was read, through a link to the file it read, and saves that fail at any system call leaving
// the old file and no temporary.
#include "Spreadsheet/package/WorkbookFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "Spreadsheet/workbook/Workbook.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

using namespace std::chrono_literals;
using namespace testing;

enum class Call { Write, Sync, Rename, Mode, Owner, Attribute, Truncate };

// Fails the `failAt`-th call (from 1) of one kind with EIO, as leveldb's fault-injection Env does.
class FaultyFileSystem : public FileSystem {
 public:
  FaultyFileSystem(Call call, int failAt) : call_(call), failAt_(failAt) {}
  bool failed = false;

  ssize_t Write(int fd, const void* data, std::size_t size) override {
    return Fail(Call::Write) ? -1 : FileSystem::Write(fd, data, size);
  }
  int Sync(int fd) override { return Fail(Call::Sync) ? -1 : FileSystem::Sync(fd); }
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
    for (Call call :
         {Call::Write, Call::Sync, Call::Rename, Call::Mode, Call::Owner, Call::Attribute, Call::Truncate}) {
      for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE(::testing::Message()
                     << "call " << static_cast<int>(call) << " #" << failAt << " linked " << hardLinked);
        TemporaryFolder folder;
        const std::string path = folder.File("book.xlsx");
        WriteFile(path, "old");
        const bool attributes = setxattr(path.c_str(), "user.origin", "mail", 4, 0) == 0;  // where supported
        chmod(path.c_str(), 0640);
        chown(path.c_str(), 1, 50);  // another user's file (we test as root)
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
        struct stat kept {};
        stat(path.c_str(), &kept);
        EXPECT_EQ(kept.st_mode & 07777, 0640U);
        EXPECT_TRUE(getuid() != 0 || (kept.st_uid == 1 && kept.st_gid == 50));
        EXPECT_EQ(getxattr(path.c_str(), "user.origin", nullptr, 0), attributes ? 4 : -1);
        EXPECT_EQ(ReadFile(hardLinked ? other : path), ReadFile(path));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), hardLinked ? 2 : 1);
        if (!files.failed) break;
      }
    }
  }
}

TEST(ReplaceFile, SavesThroughASymbolicLinkToTheTargetItCheckedAndRefusesNamesThatAreNoFile) {
  TemporaryFolder folder;
  namespace fs = std::filesystem;
  fs::create_directory(folder.path() / "real");
  const std::string target = folder.File("real/book.xlsx");
  WriteFile(target, "old");
  fs::create_symlink("real/book.xlsx", folder.path() / "link.xlsx");
  ReplaceFile(folder.File("link.xlsx"), "through the link", true);
  EXPECT_TRUE(fs::is_symlink(folder.path() / "link.xlsx"));
  EXPECT_EQ(ReadFile(target), "through the link");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path() / "real"), {}), 1);
  // A held workbook saves to the file it read, even when the link is pointed elsewhere meanwhile.
  auto held = WorkbookFile::Hold(folder.File("link.xlsx"));
  held->Read();
  WriteFile(folder.File("other.xlsx"), "other");
  fs::remove(folder.path() / "link.xlsx");
  fs::create_symlink("other.xlsx", folder.path() / "link.xlsx");
  held->Replace("held");
  EXPECT_EQ(ReadFile(target), "held");
  EXPECT_EQ(ReadFile(folder.File("other.xlsx")), "other");
  EXPECT_THROW(ReplaceFile(folder.path().string(), "x", true), Error);
  ExpectError(ErrorCode::Io, "missing/book.xlsx",
              [&] { ReplaceFile(folder.File("missing/book.xlsx"), "x", true); });
  EXPECT_THROW(ReplaceFile("", "x", true), Error);
}

TEST(WorkbookFile, SavesOnlyAChangeOnlyOverTheVersionItReadAndOnlyWhenWritable) {
  TemporaryFolder folder;
  const std::string path = folder.File("book.xlsx");
  const std::string stale = folder.File(".book.xlsx.0123456789abcdef.tmp");
  auto identity = [&] {
    struct stat info {};
    stat(path.c_str(), &info);
    return std::to_string(info.st_ino) + "." + std::to_string(info.st_mtim.tv_nsec);
  };
  auto book = Workbook::CreateEmpty();
  book->FirstSheet().SetCellText(1, 1, "ID");
  book->FirstSheet().SetTextFormat(1, 1);
  book->SaveAs(path, false);
  WriteFile(stale, "left by a killed save");
  book = Workbook::OpenForEditing(path);
  const std::string opened = identity();
  book->FirstSheet().SetCellText(1, 1, "ID");
  book->FirstSheet().SetTextFormat(1, 1);
  book->FirstSheet().SetCellText(2, 2, "");
  book->SaveAs(path, true);
  book->SaveAs(folder.File("./book.xlsx"), true);
  EXPECT_EQ(identity(), opened);
  book->FirstSheet().SetCellText(2, 1, "mine");
  book->Save();
  EXPECT_NE(identity(), opened);
  EXPECT_FALSE(std::filesystem::exists(stale));
  const std::string saved = identity();
  book->Save();  // nothing changed since the last save
  EXPECT_EQ(identity(), saved);

  book->FirstSheet().SetCellText(3, 1, "mine too");
  WriteFile(path, "another program's version");
  ExpectError(ErrorCode::ChangedOnDisk, path + ": another program changed it", [&] { book->Save(); });
  ExpectError(ErrorCode::ChangedOnDisk, "another program changed it",
              [&] { book->SaveAs(folder.File("./book.xlsx"), true); });
  book.reset();
  ExpectError(ErrorCode::ChangedOnDisk, "another program created it",
              [&] { Workbook::CreateEmpty()->SaveAsNewFile(path); });
  chmod(path.c_str(), 0444);
  ExpectError(ErrorCode::ReadOnly, path + ": the file is read-only", [&] { ReplaceFile(path, "new", true); });
  EXPECT_EQ(ReadFile(path), "another program's version");
}

TEST(WorkbookFile, TakesOverAStaleMarkOfOursAndWaitsForALiveOne) {
  TemporaryFolder folder;
  const std::string path = folder.File("book.xlsx");
  const std::string lock = folder.File(".~lock.book.xlsx#");
  WriteFile(lock, ",someone,gone-host,01.01.2020 00:00,zentora:99999999;");  // ours, its process gone
  auto held = WorkbookFile::Hold(path, {0ms});
  EXPECT_NE(ReadFile(lock).find(",zentora:" + std::to_string(getpid()) + ";"), std::string::npos);
  ExpectError(ErrorCode::InUse, "(waited 0.1 s", [&] { WorkbookFile::Hold(path, {100ms}); });
  held.reset();
  EXPECT_FALSE(std::filesystem::exists(lock));
}

// A folder the user may not write, holding lock files of other users that the user may not read.
class UnwritableFolder : public FileSystem {
 public:
  int Open(const std::string& path, int flags, mode_t mode) override {
    if (path.find(".~lock.") == std::string::npos) return FileSystem::Open(path, flags, mode);
    struct stat info;
    errno = (flags & O_CREAT) != 0 || FileSystem::Status(path, &info) == 0 ? EACCES : ENOENT;
    return -1;
  }
};

TEST(WorkbookFile, OpensUnmarkedWhereNobodyCanMarkItButRespectsAMarkItCannotRead) {
  TemporaryFolder folder;
  const std::string path = folder.File("book.xlsx");
  UnwritableFolder files;
  EXPECT_NO_THROW(WorkbookFile::Hold(path, {0ms, &files}));
  WriteFile(folder.File(".~lock.book.xlsx#"), ",other,host,01.01.2026 00:00,profile;");
  ExpectError(ErrorCode::InUse, "in use by another user", [&] { WorkbookFile::Hold(path, {0ms, &files}); });
}

}  // namespace
}  // namespace zentora::spreadsheet
