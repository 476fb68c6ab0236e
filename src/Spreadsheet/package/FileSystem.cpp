#include "FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string_view>

namespace zentora::spreadsheet {

int FileSystem::Open(const std::string& path, int flags, mode_t mode) {
  return open(path.c_str(), flags, mode);
}
int FileSystem::Close(int fd) { return close(fd); }
ssize_t FileSystem::Read(int fd, void* buffer, std::size_t size) { return read(fd, buffer, size); }
ssize_t FileSystem::Write(int fd, const void* data, std::size_t size) { return write(fd, data, size); }
int FileSystem::Truncate(int fd, off_t size) { return ftruncate(fd, size); }
int FileSystem::Seek(int fd, off_t offset) { return lseek(fd, offset, SEEK_SET) < 0 ? -1 : 0; }
int FileSystem::Sync(int fd) { return fsync(fd); }
int FileSystem::ChangeMode(int fd, mode_t mode) { return fchmod(fd, mode); }
int FileSystem::ChangeOwner(int fd, uid_t owner, gid_t group) { return fchown(fd, owner, group); }
int FileSystem::Rename(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str());
}
int FileSystem::Unlink(const std::string& path) { return unlink(path.c_str()); }
int FileSystem::Status(const std::string& path, struct stat* info) { return stat(path.c_str(), info); }
int FileSystem::LinkStatus(const std::string& path, struct stat* info) { return lstat(path.c_str(), info); }
int FileSystem::DescriptorStatus(int fd, struct stat* info) { return fstat(fd, info); }
int FileSystem::CanWrite(const std::string& path) {
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS);
}
ssize_t FileSystem::ReadLink(const std::string& path, char* buffer, std::size_t size) {
  return readlink(path.c_str(), buffer, size);
}
int FileSystem::Lock(int fd, int operation) { return flock(fd, operation); }
ssize_t FileSystem::ListAttributes(int fd, char* names, std::size_t size) {
  return flistxattr(fd, names, size);
}
ssize_t FileSystem::GetAttribute(int fd, const char* name, void* value, std::size_t size) {
  return fgetxattr(fd, name, value, size);
}
int FileSystem::SetAttribute(int fd, const char* name, const void* value, std::size_t size) {
  return fsetxattr(fd, name, value, size, 0);
}

std::vector<std::string> FileSystem::ListFolder(const std::string& path) {
  std::vector<std::string> names;
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr) return names;
  while (const dirent* entry = readdir(folder)) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  closedir(folder);
  return names;
}

FileSystem& RealFileSystem() {
  static FileSystem real;
  return real;
}

}  // namespace zentora::spreadsheet
