#include "WorkbookFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <random>
#include <thread>
#include <vector>

#include "../Error.h"

namespace zentora::spreadsheet {
namespace {

// The profile field of our lock files: the office programs write their profile folder there, we
// write this prefix and the process id, which tells our lock files from theirs.
constexpr std::string_view kOurProfile = "zentora:";

using detail::ThrowSystem;
using detail::WriteAll;

std::string LockPathOf(const std::string& target) {
  return detail::FolderOf(target) + "/.~lock." + detail::BaseName(target) + "#";
}

// A field of the lock file: ',', ';' and '\' are escaped with '\'.
std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == ',' || c == ';' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// The fields of a lock file's first entry (up to the unescaped ';').
std::vector<std::string> FieldsOf(std::string_view content) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < content.size(); ++i) {
    char c = content[i];
    if (c == '\\' && i + 1 < content.size()) {
      fields.back() += content[++i];
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == ';') {
      break;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

bool IsOurs(std::string_view content) {
  std::vector<std::string> fields = FieldsOf(content);
  return content.empty() || (fields.size() >= 5 && fields[4].starts_with(kOurProfile));
}

// "jdoe on host1 since 05.12.2026 23:14", as far as the lock file tells.
std::string HolderOf(std::string_view content) {
  std::vector<std::string> fields = FieldsOf(content);
  if (content.empty() || fields.size() < 4) return "another process";
  std::string name = !fields[0].empty() ? fields[0] : fields[1];
  std::string holder = name.empty() ? "an unnamed user" : name;
  if (!fields[2].empty()) holder += " on " + fields[2];
  if (!fields[3].empty()) holder += " since " + fields[3];
  return holder;
}

std::string OurLockContent() {
  std::string user;
  if (const passwd* entry = getpwuid(geteuid())) user = entry->pw_name;
  if (user.empty()) user = std::to_string(geteuid());
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char since[32];
  std::strftime(since, sizeof since, "%d.%m.%Y %H:%M", &local);
  return "," + Escaped(user) + "," + Escaped(host) + "," + since + "," + std::string(kOurProfile) +
         std::to_string(getpid()) + ";";
}

std::string ReadLockFile(FileSystem& files, int fd, const std::string& lockPath) {
  if (files.Seek(fd, 0) != 0) ThrowSystem("read", lockPath, errno);
  return ReadWholeFile(fd, lockPath, files);
}

// True when `fd` is still the file at `path` (a holder that released it removed it meanwhile).
bool StillThere(FileSystem& files, int fd, const std::string& path) {
  struct stat open, named;
  return files.DescriptorStatus(fd, &open) == 0 && files.Status(path, &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

WorkbookFile::WorkbookFile(std::string path, std::string target, FileSystem& files)
    : path_(std::move(path)), target_(std::move(target)), lockPath_(LockPathOf(target_)), files_(files) {}

std::unique_ptr<WorkbookFile> WorkbookFile::Hold(const std::string& path, const EditOptions& options) {
  FileSystem& files = options.files != nullptr ? *options.files : RealFileSystem();
  if (path.empty()) throw Error(ErrorCode::Io, "cannot open a workbook: the file name is empty");
  std::unique_ptr<WorkbookFile> held(new WorkbookFile(path, FollowLinks(path, files), files));
  const std::string& lockPath = held->lockPath_;
  const auto deadline = std::chrono::steady_clock::now() + options.inUseWait;
  std::minstd_rand jitter(static_cast<unsigned>(getpid()));
  std::string holder;
  for (;;) {
    bool writable = true;
    int fd = files.Open(lockPath, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
      writable = false;
      fd = files.Open(lockPath, O_RDONLY | O_CLOEXEC, 0);
    }
    if (fd < 0 && !writable && errno == ENOENT) return held;  // a folder nobody may mark: no lock file
    if (fd < 0 && errno != EACCES) ThrowSystem("mark as in use", path, errno);
    if (fd < 0) {
      // A lock file we may neither write nor read belongs to another user, who has the workbook.
      holder = "another user (the lock file cannot be read)";
    } else {
      try {
        if (files.Lock(fd, LOCK_EX | LOCK_NB) == 0) {
          if (!StillThere(files, fd, lockPath)) {
            files.Close(fd);
            continue;  // its holder removed it while we waited for it: try the new one
          }
          std::string content = ReadLockFile(files, fd, lockPath);
          if (IsOurs(content) && writable) {
            std::string ours = OurLockContent();
            if (files.Truncate(fd, 0) != 0 || files.Seek(fd, 0) != 0)
              ThrowSystem("mark as in use", path, errno);
            WriteAll(files, fd, ours, path);
            held->lockDescriptor_ = fd;
            return held;
          }
          if (IsOurs(content)) {
            // A stale lock file of another user's: make our own in its place, or, where the folder
            // forbids that, hold this one by its flock alone.
            if (files.Unlink(lockPath) == 0) {
              files.Close(fd);
              continue;
            }
            held->lockDescriptor_ = fd;
            return held;
          }
          holder = HolderOf(content);
        } else if (errno == EWOULDBLOCK) {
          holder = HolderOf(ReadLockFile(files, fd, lockPath));
        } else {
          ThrowSystem("mark as in use", path, errno);
        }
      } catch (...) {
        files.Close(fd);
        throw;
      }
      files.Close(fd);
    }
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(options.inUseWait).count();
      throw Error(ErrorCode::InUse,
                  path + " is in use by " + holder + " (waited " + std::to_string(waited / 1000) + "." +
                      std::to_string(waited % 1000 / 100) + " s; lock file " + lockPath + ")");
    }
    auto pause = std::chrono::milliseconds(10 + jitter() % 20);
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
  }
}

WorkbookFile::~WorkbookFile() {
  if (lockDescriptor_ < 0) return;
  // Removed while still locked, so a process that waits for it finds it gone and makes a new one.
  if (StillThere(files_, lockDescriptor_, lockPath_)) files_.Unlink(lockPath_);
  files_.Close(lockDescriptor_);
}

std::string WorkbookFile::Read() {
  int fd = files_.Open(target_, O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) ThrowSystem("open", path_, errno);
  try {
    struct stat info;
    if (files_.DescriptorStatus(fd, &info) != 0) ThrowSystem("read", path_, errno);
    std::string content = ReadWholeFile(fd, path_, files_);
    expected_ = FileIdentity::Of(info);
    files_.Close(fd);
    return content;
  } catch (...) {
    files_.Close(fd);
    throw;
  }
}

void WorkbookFile::Replace(std::string_view content) {
  struct stat info;
  FileIdentity current = files_.Status(target_, &info) == 0 ? FileIdentity::Of(info) : FileIdentity{};
  if (!(current == expected_)) {
    std::string what = !expected_.exists                                                        ? "created"
                       : !current.exists                                                        ? "removed"
                       : current.inode != expected_.inode || current.device != expected_.device ? "replaced"
                                                                                                : "changed";
    throw Error(ErrorCode::ChangedOnDisk, "cannot save " + path_ + ": another program " + what +
                                              " it since it was opened; its version is kept");
  }
  expected_ = ReplaceFileAt(target_, path_, content, true, files_);
  if (lockDescriptor_ >= 0) RemoveStaleTemporaries(target_, files_);
}

}  // namespace zentora::spreadsheet
