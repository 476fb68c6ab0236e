#include "FileSaving.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "../Error.h"
#include "HugePages.h"

namespace zentora::spreadsheet {
namespace detail {

void ThrowSystem(const std::string& what, const std::string& path, int error) {
  throw Error(ErrorCode::Io, "cannot " + what + " " + path + ": " + std::strerror(error));
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void WriteAll(FileSystem& files, int fd, std::string_view content, const std::string& path) {
  std::size_t written = 0;
  while (written < content.size()) {
    ssize_t step = files.Write(fd, content.data() + written, content.size() - written);
    if (step < 0) {
      if (errno == EINTR) continue;
      ThrowSystem("write", path, errno);
    }
    written += static_cast<std::size_t>(step);
  }
}

}  // namespace detail

namespace {

using detail::BaseName;
using detail::FolderOf;
using detail::ThrowSystem;
using detail::WriteAll;

constexpr std::size_t kTemporaryDigits = 16;

// True for the name of a temporary file that a save of `base` makes.
bool IsTemporaryOf(std::string_view name, const std::string& base) {
  const std::size_t length = 1 + base.size() + 1 + kTemporaryDigits + 4;
  if (name.size() != length || !name.starts_with("." + base + ".") || !name.ends_with(".tmp")) return false;
  for (char c : name.substr(base.size() + 2, kTemporaryDigits)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Copies the extended attributes (ACLs included) of `from` onto `to`. Attributes the target's file
// system or the process may not set (security labels for a plain user) are left out.
void CopyAttributes(FileSystem& files, int from, int to, const std::string& path) {
  ssize_t size = files.ListAttributes(from, nullptr, 0);
  if (size <= 0) return;
  std::vector<char> names(static_cast<std::size_t>(size));
  size = files.ListAttributes(from, names.data(), names.size());
  if (size <= 0) return;
  for (std::size_t at = 0; at < static_cast<std::size_t>(size); at += std::strlen(names.data() + at) + 1) {
    const char* name = names.data() + at;
    ssize_t length = files.GetAttribute(from, name, nullptr, 0);
    if (length < 0) continue;
    std::vector<char> value(static_cast<std::size_t>(length));
    length = files.GetAttribute(from, name, value.data(), value.size());
    if (length < 0) continue;
    if (files.SetAttribute(to, name, value.data(), static_cast<std::size_t>(length)) != 0 &&
        errno != ENOTSUP && errno != EPERM) {
      ThrowSystem("keep the attribute " + std::string(name) + " of", path, errno);
    }
  }
}

// Gives the temporary file `fd` the owner, group, mode and attributes of the file it replaces.
void KeepIdentity(FileSystem& files, int fd, const std::string& target, const struct stat& existing,
                  const std::string& path) {
  if (files.ChangeOwner(fd, existing.st_uid, existing.st_gid) != 0) {
    if (errno != EPERM) ThrowSystem("keep the owner of", path, errno);
    // A plain user cannot give the file away but may keep its group when a member of it.
    if (files.ChangeOwner(fd, static_cast<uid_t>(-1), existing.st_gid) != 0 && errno != EPERM) {
      ThrowSystem("keep the group of", path, errno);
    }
  }
  if (files.ChangeMode(fd, existing.st_mode & 07777) != 0)
    ThrowSystem("keep the permissions of", path, errno);
  int original = files.Open(target, O_RDONLY | O_CLOEXEC, 0);
  if (original < 0) return;  // nothing left to copy from: the mode and owner are kept already
  try {
    CopyAttributes(files, original, fd, path);
  } catch (...) {
    files.Close(original);
    throw;
  }
  files.Close(original);
}

// Creates a new file next to `target` with a unique name; returns its descriptor (or -1 with errno
// set) and sets `temporary`.
int CreateTemporary(FileSystem& files, const std::string& target, std::string& temporary, mode_t mode) {
  std::random_device device;
  std::mt19937_64 random(device());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[kTemporaryDigits + 1];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    temporary = FolderOf(target) + "/." + BaseName(target) + "." + suffix + ".tmp";
    int fd = files.Open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

FileIdentity IdentityOfDescriptor(FileSystem& files, int fd, const std::string& path) {
  struct stat info;
  if (files.DescriptorStatus(fd, &info) != 0) ThrowSystem("read the status of", path, errno);
  return FileIdentity::Of(info);
}

// Overwrites the existing `target` in place; on a failed write its old bytes are put back.
FileIdentity OverwriteInPlace(FileSystem& files, const std::string& target, std::string_view content,
                              const std::string& path) {
  int fd = files.Open(target, O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) ThrowSystem("open", path, errno);
  std::string old;
  try {
    old = ReadWholeFile(fd, path, files);
    if (files.Seek(fd, 0) != 0) ThrowSystem("write", path, errno);
  } catch (...) {
    files.Close(fd);
    throw;
  }
  try {
    WriteAll(files, fd, content, path);
    if (files.Truncate(fd, static_cast<off_t>(content.size())) != 0) ThrowSystem("write", path, errno);
    if (files.Sync(fd) != 0) ThrowSystem("flush", path, errno);
    FileIdentity written = IdentityOfDescriptor(files, fd, path);
    files.Close(fd);  // the new bytes are on disk already
    return written;
  } catch (...) {
    if (files.Seek(fd, 0) == 0) {
      try {
        WriteAll(files, fd, old, path);
        files.Truncate(fd, static_cast<off_t>(old.size()));
        files.Sync(fd);
      } catch (const Error&) {
        // The original error is the one to report; the file may be damaged now.
      }
    }
    files.Close(fd);
    throw;
  }
}

}  // namespace

std::string FollowLinks(const std::string& path, FileSystem& files) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info;
    if (files.LinkStatus(current, &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string target(PATH_MAX, '\0');
    ssize_t length = files.ReadLink(current, target.data(), target.size());
    if (length < 0) ThrowSystem("follow the link", current, errno);
    target.resize(static_cast<std::size_t>(length));
    if (target.front() != '/') {
      std::size_t slash = current.rfind('/');
      if (slash != std::string::npos) target = current.substr(0, slash + 1) + target;
    }
    current = target;
  }
  throw Error(ErrorCode::Io, "cannot save " + path + ": too many levels of symbolic links");
}

FileIdentity ReplaceFile(const std::string& path, std::string_view content, bool keepPermissions,
                         FileSystem& files) {
  if (path.empty()) throw Error(ErrorCode::Io, "cannot save: the file name is empty");
  return ReplaceFileAt(FollowLinks(path, files), path, content, keepPermissions, files);
}

FileIdentity ReplaceFileAt(const std::string& target, const std::string& path, std::string_view content,
                           bool keepPermissions, FileSystem& files) {
  struct stat existing;
  bool exists = files.Status(target, &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode))
    throw Error(ErrorCode::Io, "cannot save " + path + ": it is a folder");
  if (exists && ((existing.st_mode & 0222) == 0 || files.CanWrite(target) != 0)) {
    throw Error(ErrorCode::ReadOnly, "cannot save " + path + ": the file is read-only");
  }
  if (exists && keepPermissions &&
      (existing.st_nlink > 1 || (geteuid() != 0 && geteuid() != existing.st_uid))) {
    return OverwriteInPlace(files, target, content, path);
  }
  std::string temporary;
  int fd = CreateTemporary(files, target, temporary, exists && keepPermissions ? 0600 : 0666);
  if (fd < 0) {
    if (exists && keepPermissions && (errno == EACCES || errno == EROFS)) {
      return OverwriteInPlace(files, target, content, path);
    }
    ThrowSystem("create a temporary file beside", path, errno);
  }
  FileIdentity written;
  try {
    if (exists && keepPermissions) KeepIdentity(files, fd, target, existing, path);
    WriteAll(files, fd, content, path);
    if (files.Sync(fd) != 0) ThrowSystem("flush", path, errno);
    written = IdentityOfDescriptor(files, fd, path);
    int closeResult = files.Close(fd);
    fd = -1;
    if (closeResult != 0) ThrowSystem("close", path, errno);
    if (files.Rename(temporary, target) != 0) ThrowSystem("replace", path, errno);
  } catch (...) {
    if (fd >= 0) files.Close(fd);
    files.Unlink(temporary);
    throw;
  }
  int folder = files.Open(FolderOf(target), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (folder >= 0) {
    files.Sync(
        folder);  // the rename is done; a folder that cannot be synced leaves it to the system's own flush
    files.Close(folder);
  }
  return written;
}

void RemoveStaleTemporaries(const std::string& path, FileSystem& files) {
  std::string target = FollowLinks(path, files);
  std::string folder = FolderOf(target);
  std::string base = BaseName(target);
  for (const std::string& name : files.ListFolder(folder)) {
    if (IsTemporaryOf(name, base)) files.Unlink(folder + "/" + name);
  }
}

std::string ReadWholeFile(int fd, const std::string& path, FileSystem& files) {
  // Read straight into one buffer of the file's size and a byte more (so that the read which finds the end
  // needs no second buffer), given huge pages before it is touched; it doubles if the file grows meanwhile.
  std::size_t expected = 65536;
  struct stat info;
  if (files.DescriptorStatus(fd, &info) == 0 && S_ISREG(info.st_mode))
    expected = static_cast<std::size_t>(info.st_size) + 1;
  std::string content;
  content.reserve(expected);
  AdviseHugePages(content.data(), content.capacity());
  content.resize(expected);
  std::size_t size = 0;
  while (true) {
    if (size == content.size()) content.resize(2 * size);
    ssize_t got = files.Read(fd, content.data() + size, content.size() - size);
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowSystem("read", path, errno);
    }
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  }
  content.resize(size);
  return content;
}

std::string ReadWholeFile(const std::string& path) {
  FileSystem& files = RealFileSystem();
  int fd = files.Open(path, O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) ThrowSystem("open", path, errno);
  try {
    std::string content = ReadWholeFile(fd, path, files);
    files.Close(fd);
    return content;
  } catch (...) {
    files.Close(fd);
    throw;
  }
}

}  // namespace zentora::spreadsheet
