#include "FileSaving.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

#include "../Error.h"

namespace zentora::spreadsheet {
namespace {

[[noreturn]] void ThrowSystem(const std::string& what, const std::string& path, int error) {
  throw Error(ErrorCode::Io, "cannot " + what + " " + path + ": " + std::strerror(error));
}

// The path a save should replace: the final target of a chain of symbolic links, or `path` itself.
std::string ResolveTarget(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info;
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string target(PATH_MAX, '\0');
    ssize_t length = readlink(current.c_str(), target.data(), target.size());
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

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates a new file next to `target` with a unique name; returns its descriptor and sets `tempPath`.
int CreateTemporary(const std::string& target, std::string& tempPath, mode_t mode) {
  std::random_device device;
  std::mt19937_64 random(device());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    tempPath = FolderOf(target) + "/." + BaseName(target) + "." + suffix + ".tmp";
    int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) ThrowSystem("create a temporary file for", target, errno);
  }
  throw Error(ErrorCode::Io, "cannot create a temporary file for " + target);
}

}  // namespace

void ReplaceFile(const std::string& path, std::string_view content, bool keepPermissions) {
  if (path.empty()) throw Error(ErrorCode::Io, "cannot save: the file name is empty");
  std::string target = ResolveTarget(path);
  struct stat existing;
  bool exists = stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode))
    throw Error(ErrorCode::Io, "cannot save " + path + ": it is a folder");
  std::string tempPath;
  int fd = CreateTemporary(target, tempPath, 0666);
  try {
    if (exists && keepPermissions && fchmod(fd, existing.st_mode & 07777) != 0) {
      ThrowSystem("keep the permissions of", target, errno);
    }
    std::size_t written = 0;
    while (written < content.size()) {
      ssize_t step = write(fd, content.data() + written, content.size() - written);
      if (step < 0) {
        if (errno == EINTR) continue;
        ThrowSystem("write", tempPath, errno);
      }
      written += static_cast<std::size_t>(step);
    }
    if (fsync(fd) != 0) ThrowSystem("flush", tempPath, errno);
    int closeResult = close(fd);
    fd = -1;
    if (closeResult != 0) ThrowSystem("close", tempPath, errno);
    if (rename(tempPath.c_str(), target.c_str()) != 0) ThrowSystem("replace", target, errno);
  } catch (...) {
    if (fd >= 0) close(fd);
    unlink(tempPath.c_str());
    throw;
  }
  int folder = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);  // the rename is done; a folder that cannot be synced leaves it to the system's own flush
    close(folder);
  }
}

std::string ReadWholeFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowSystem("open", path, errno);
  std::string content;
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) content.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  while (true) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      close(fd);
      ThrowSystem("read", path, error);
    }
    if (got == 0) break;
    content.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  return content;
}

}  // namespace zentora::spreadsheet
