// Folders on Linux.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/folders.h"
#include "platform/io_posix.h"

namespace vantorel {
FolderCreation EnsureDirectory(const std::string& path) {
  if (mkdir(NativePath(path).c_str(), 0777) == 0) return FolderCreation::kCreated;
  const int error = errno;
  struct stat info;
  if (stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return FolderCreation::kExisted;
  }
  errno = error;  // why mkdir failed, not stat
  return FolderCreation::kFailed;
}

bool RemoveEmptyFolder(const std::string& path) { return rmdir(NativePath(path).c_str()) == 0; }

std::optional<FolderEntry> EntryAt(const std::string& path) {
  struct stat info;
  if (lstat(NativePath(path).c_str(), &info) != 0) return std::nullopt;
  return FolderEntry{IdentityOf(info), S_ISDIR(info.st_mode)};
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  return rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

// Where the file system cannot rename without replacing, a hard link does
// the same in two steps: it fails on an existing entry, and the temporary
// name is removed after.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  const std::string source = NativePath(from);
  const std::string target = NativePath(to);
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  if (link(source.c_str(), target.c_str()) != 0) return false;
  unlink(source.c_str());
  return true;
}

bool RemoveFile(const std::string& path) { return unlink(NativePath(path).c_str()) == 0; }

bool LinkFile(const std::string& existing, const std::string& newName) {
  return link(NativePath(existing).c_str(), NativePath(newName).c_str()) == 0;
}

// A file system that cannot sync a folder (EINVAL) keeps no more than it
// would without the call.
bool SyncFolderOf(const std::string& path) {
  const int fd = open(FolderOf(NativePath(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0 || errno == EINVAL;
  return close(fd) == 0 && synced;
}

}  // namespace vantorel
