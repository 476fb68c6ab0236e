// The operating-system calls through which the engine reads, locks and replaces
// workbook files. The base class passes every call straight to the system; a test
// derives from it to make any single call fail. Each call returns what the system
// call returns (-1 with errno set on failure), so callers handle errors once.
//
// Thread safety: the real file system may be used from any thread.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace zentora::spreadsheet {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual int Open(const std::string& path, int flags, mode_t mode);
  virtual int Close(int fd);
  virtual ssize_t Read(int fd, void* buffer, std::size_t size);
  // Writes at the descriptor's offset; may write fewer bytes than asked, as write(2).
  virtual ssize_t Write(int fd, const void* data, std::size_t size);
  virtual int Truncate(int fd, off_t size);
  virtual int Seek(int fd, off_t offset);
  virtual int Sync(int fd);
  virtual int ChangeMode(int fd, mode_t mode);
  virtual int ChangeOwner(int fd, uid_t owner, gid_t group);
  virtual int Rename(const std::string& from, const std::string& to);
  virtual int Unlink(const std::string& path);
  virtual int Status(const std::string& path, struct stat* info);
  virtual int LinkStatus(const std::string& path, struct stat* info);
  virtual int DescriptorStatus(int fd, struct stat* info);
  // access(2) with the effective user's rights.
  virtual int CanWrite(const std::string& path);
  virtual ssize_t ReadLink(const std::string& path, char* buffer, std::size_t size);
  // flock(2) on the descriptor.
  virtual int Lock(int fd, int operation);
  // The extended attributes of a descriptor, ACLs included ("system.posix_acl_access").
  virtual ssize_t ListAttributes(int fd, char* names, std::size_t size);
  virtual ssize_t GetAttribute(int fd, const char* name, void* value, std::size_t size);
  virtual int SetAttribute(int fd, const char* name, const void* value, std::size_t size);
  // The names in a folder, "." and ".." left out; empty when it cannot be read.
  virtual std::vector<std::string> ListFolder(const std::string& path);
};

// The pass-through file system, shared by everyone who passes none.
FileSystem& RealFileSystem();

}  // namespace zentora::spreadsheet
