// Folders on Linux.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/folders.h"
#include "platform/interrupt_cleanup.h"
#include "platform/io_posix.h"

namespace vantorel {
bool EnsureDirectory(const std::string& path) {
  struct stat info;
  if (mkdir(NativePath(path).c_str(), 0777) == 0) return true;
  return stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

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

ReplacementFile::ReplacementFile(const std::string& target)
    : target_(NativePath(target)), handle_(kClosed) {
  // O_EXCL with O_CREAT fails on any existing entry, a link included.
  for (int attempt = 0; attempt < kTemporaryNameAttempts && handle_ == kClosed; ++attempt) {
    temporary_ = TemporaryNameFor(target_);
    const int fd =
        open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      handle_ = fd;
    } else if (errno != EEXIST && errno != EINTR) {
      break;
    }
  }
  if (handle_ == kClosed) {
    temporary_.clear();
    return;
  }
  try {
    cleanup_ = std::make_unique<InterruptCleanup>(temporary_);
  } catch (...) {
    // No destructor runs for an object whose constructor throws.
    close(Descriptor(handle_));
    unlink(temporary_.c_str());
    throw;
  }
}

ReplacementFile::~ReplacementFile() {
  if (handle_ != kClosed) close(Descriptor(handle_));
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

bool ReplacementFile::IsOpen() const { return handle_ != kClosed; }

bool ReplacementFile::Write(const uint8_t* data, std::size_t length) {
  return WriteAll(Descriptor(handle_), data, length);
}

bool ReplacementFile::Finish() {
  if (handle_ == kClosed) return false;
  const bool synced = fsync(Descriptor(handle_)) == 0;
  const bool closed = close(Descriptor(handle_)) == 0;
  handle_ = kClosed;
  return synced && closed;
}

bool ReplacementFile::PutInPlace(bool replace) {
  if (handle_ != kClosed || temporary_.empty()) return false;
  const bool renamed =
      replace ? RenameReplacing(temporary_, target_) : RenameWithoutReplacing(temporary_, target_);
  if (!renamed) return false;
  temporary_.clear();
  cleanup_.reset();
  return true;
}

}  // namespace vantorel
