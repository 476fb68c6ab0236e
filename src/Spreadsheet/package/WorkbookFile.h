// A workbook file held for editing. While held, the file is marked as in use the
// way office programs mark it: a lock file ".~lock.NAME#" beside it in the office
// format (",USER,HOST,DD.MM.YYYY HH:MM,PROFILE;"), which LibreOffice shows to its
// users, and which processes of this engine also lock with flock(2) so that they
// wait for each other. The mark is taken before the file is read, so a process
// that waited reads what the previous holder saved. Saving replaces the file only
// while it is still the version that was read.
//
// A lock file written by another program is respected until it goes away; one of
// this engine's whose flock is free belongs to a process that is gone and is taken
// over. A folder in which no lock file can be made (read-only) is used unmarked.
//
// One thread at a time; the object owns the lock file's descriptor.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "FileSaving.h"
#include "FileSystem.h"

namespace zentora::spreadsheet {

// How long opening a workbook that someone else holds waits by default.
inline constexpr std::chrono::milliseconds kDefaultInUseWait{5000};

struct EditOptions {
  std::chrono::milliseconds inUseWait = kDefaultInUseWait;
  FileSystem* files = nullptr;  // the real file system when null
};

class WorkbookFile {
 public:
  // Marks the workbook at `path` (existing or not) as in use, waiting up to options.inUseWait while
  // another program or process holds it. Throws InUse naming the holder (user, host, since when, as
  // its lock file says) after the wait; Io when the lock file cannot be made or read.
  static std::unique_ptr<WorkbookFile> Hold(const std::string& path, const EditOptions& options = {});
  // Removes the lock file and releases the mark.
  ~WorkbookFile();
  WorkbookFile(const WorkbookFile&) = delete;
  WorkbookFile& operator=(const WorkbookFile&) = delete;

  // The path as given to Hold.
  const std::string& path() const { return path_; }
  // The file's bytes; the version read is what Replace expects to find. Throws Io.
  std::string Read();
  // Replaces the file with `content` (see ReplaceFile, permissions kept) when it is still the
  // version Read returned, or still absent when nothing was read; afterwards that is the version
  // expected. Throws ChangedOnDisk naming the file when someone else replaced, changed, created or
  // removed it, and whatever ReplaceFile throws; the file on disk stays as it was then. A successful
  // replace removes the temporary files that killed saves of ours left beside it.
  void Replace(std::string_view content);

 private:
  WorkbookFile(std::string path, std::string target, FileSystem& files);

  std::string path_;
  std::string target_;  // the file behind any symbolic links
  std::string lockPath_;
  FileSystem& files_;
  int lockDescriptor_ = -1;
  FileIdentity expected_;  // absent until Read
};

}  // namespace zentora::spreadsheet
