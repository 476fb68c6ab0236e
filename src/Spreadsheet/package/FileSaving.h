// Replacing a file safely: the new content goes to a fresh temporary file in
// the target's folder (".NAME.<16 hex digits>.tmp"), is flushed to disk and
// renamed over the target, and the folder is flushed too; a crash at any moment
// leaves the old or the new file. A symbolic link is followed: its target is
// replaced and the link stays. On failure the old file is untouched and the
// temporary file is gone.
//
// A file that a rename would change in ways the owner can see is overwritten in
// place instead: one with more than one hard link (a rename would split it from
// its other names), one owned by another user (the new file could not be given
// back to that owner), one in a folder where no new file can be made. In place,
// a failed write puts the old bytes back, but a crash in the middle of the write
// leaves a damaged file: the price of keeping every name and the owner.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "FileSystem.h"

namespace zentora::spreadsheet {

// What tells one version of a file from another: which file it is and its size and time.
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};

  bool operator==(const FileIdentity& other) const {
    return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
  }
  static FileIdentity Of(const struct stat& info) {
    return {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
  }
};

// The path a save replaces: the final target of a chain of symbolic links, or `path` itself.
// Throws Io for a link that cannot be read or a chain that loops.
std::string FollowLinks(const std::string& path, FileSystem& files = RealFileSystem());

// Writes `content` to `path` as described above and returns the identity of the written file.
// An existing target without write permission for the user (for root: without any write bit) is
// refused with ReadOnly. With `keepPermissions` an existing target keeps its permission bits, owner
// and group (as far as the process may set them) and its extended attributes and ACLs; otherwise
// (and for a new file) the process's defaults for new files apply. Throws Io naming `path` and the
// system's reason; messages never name the temporary file.
FileIdentity ReplaceFile(const std::string& path, std::string_view content, bool keepPermissions,
                         FileSystem& files = RealFileSystem());
// The same for a caller that followed the links itself (FollowLinks) and must write the very file
// it checked: replaces `target`, naming `path` in its messages.
FileIdentity ReplaceFileAt(const std::string& target, const std::string& path, std::string_view content,
                           bool keepPermissions, FileSystem& files = RealFileSystem());

// Removes the temporary files that saves of `path` left behind (a process killed while saving).
// Only for a caller that holds the file's in-use mark, so that no save of ours is running.
void RemoveStaleTemporaries(const std::string& path, FileSystem& files = RealFileSystem());

// The whole content of the file at `path`; throws Io naming the path when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// The whole content of the open file `fd`; `path` names it in messages. Throws Io.
std::string ReadWholeFile(int fd, const std::string& path, FileSystem& files);

namespace detail {
// Throws Io: "cannot WHAT PATH: " and the system's reason for `error`.
[[noreturn]] void ThrowSystem(const std::string& what, const std::string& path, int error);
// Writes all of `content` to `fd`, going on after short and interrupted writes; throws Io naming `path`.
void WriteAll(FileSystem& files, int fd, std::string_view content, const std::string& path);
// The folder of `path` ("." when it names none) and its last component.
std::string FolderOf(const std::string& path);
std::string BaseName(const std::string& path);
}  // namespace detail

}  // namespace zentora::spreadsheet
