// The output's platform part on Linux. New files are made with O_TMPFILE,
// unnamed until the commit links them into the folder, so that a run killed
// by a signal nobody can catch leaves nothing behind; a file system that
// cannot make such files gets a named one instead.
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/folders.h"
#include "platform/io_posix.h"
#include "platform/output_target.h"

namespace vantorel {
namespace {

std::string ResolveLink(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// What the kernel answers when a file system, or the kernel itself, makes
// no unnamed files.
bool UnnamedFilesRefused(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// An unnamed file is named through its /proc link; without /proc it could
// never be named, and a named file is made instead.
bool UnnamedFilesCanBeNamed() {
  static const bool procMounted = access("/proc/self/fd", X_OK) == 0;
  return procMounted;
}

int OpenUnnamed(const std::string& folder, int flags, mode_t mode) {
  int fd;
  do {
    fd = open(folder.c_str(), O_TMPFILE | O_CLOEXEC | flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::unique_ptr<OutputFile> Adopt(int fd) {
  return std::make_unique<OutputFile>(AdoptedHandle{fd});
}

// O_EXCL with O_CREAT fails on any existing entry, a link included.
int CreateNamed(const std::string& name, int flags, mode_t mode) {
  int fd;
  do {
    fd = open(name.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Only a privileged process may give a file away; the others keep the
// group at least where they belong to it, as cp -p does.
bool KeepOwner(int fd, const struct stat& from, const struct stat& to) {
  if (from.st_uid == to.st_uid && from.st_gid == to.st_gid) return true;
  if (fchown(fd, from.st_uid, from.st_gid) == 0) return true;
  if (errno != EPERM && errno != EINVAL) return false;
  return from.st_gid == to.st_gid || fchown(fd, static_cast<uid_t>(-1), from.st_gid) == 0 ||
         errno == EPERM || errno == EINVAL;
}

}  // namespace

// An existing file we may not write is not replaced behind its owner's back
// (inPlaceWhenRefused): opening it in place fails as it always did. A
// dangling link is followed by that open too.
OutputTarget ExamineOutputTarget(const std::string& path, const OutputPolicy& policy) {
  OutputTarget target{NativePath(path)};
  if (!policy.replaceAnyEntry) target.path = ResolveLink(target.path);
  // No name to give a file: the open fails as it always did.
  if (target.path.empty() || target.path.back() == '/') {
    target.inPlace = true;
    return target;
  }
  struct stat info;
  if (lstat(target.path.c_str(), &info) == 0) {
    if (!policy.replaceAnyEntry && !S_ISREG(info.st_mode)) {
      target.inPlace = true;
      return target;
    }
    if (policy.inPlaceWhenRefused && access(target.path.c_str(), W_OK) != 0) {
      target.inPlace = true;
      return target;
    }
  }
  target.inPlace =
      policy.inPlaceWhenRefused && access(FolderOf(target.path).c_str(), W_OK | X_OK) != 0;
  return target;
}

NewFile CreateFileBeside(const std::string& target) {
  const int unnamed = OpenUnnamed(FolderOf(target), O_WRONLY, 0666);
  if (unnamed >= 0) {
    if (UnnamedFilesCanBeNamed()) return {Adopt(unnamed), ""};
    close(unnamed);
  } else if (!UnnamedFilesRefused(errno)) {
    return {};
  }
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::string name = TemporaryNameFor(target);
    const int fd = CreateNamed(name, O_WRONLY, 0666);
    if (fd >= 0) return {Adopt(fd), std::move(name)};
    if (errno != EEXIST) break;
  }
  return {};
}

// The named fallback loses its name at once: only a kill between the two
// calls could leave it.
std::unique_ptr<OutputFile> CreateScratchFile() {
  const char* variable = getenv("TMPDIR");
  const std::string folder = variable && *variable ? variable : "/tmp";
  // O_EXCL: this file is never to be given a name.
  const int unnamed = OpenUnnamed(folder, O_RDWR | O_EXCL, 0600);
  if (unnamed >= 0) return Adopt(unnamed);
  if (!UnnamedFilesRefused(errno)) return nullptr;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::string name = TemporaryNameFor(folder + "/vantorel");
    const int fd = CreateNamed(name, O_RDWR, 0600);
    if (fd >= 0) {
      unlink(name.c_str());
      return Adopt(fd);
    }
    if (errno != EEXIST) break;
  }
  return nullptr;
}

bool NameUnnamedFile(OutputFile& file, const std::string& name) {
  char link[64];
  snprintf(link, sizeof link, "/proc/self/fd/%d", Descriptor(file.Handle()));
  return linkat(AT_FDCWD, link, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// The permission bits come after the owner, whose change clears the set-ID
// bits.
bool CopyOwnerAndMode(const std::string& path, OutputFile& file) {
  struct stat from;
  struct stat to;
  const int fd = Descriptor(file.Handle());
  if (lstat(path.c_str(), &from) != 0) return errno == ENOENT;
  if (!S_ISREG(from.st_mode)) return true;
  if (fstat(fd, &to) != 0 || !KeepOwner(fd, from, to)) return false;
  return fchmod(fd, from.st_mode & 07777) == 0 || errno == EPERM;
}

// A device that keeps no position (/dev/null, /dev/full) answers every
// seek with 0.
bool KeepsPosition(OutputFile& file) {
  const int fd = Descriptor(file.Handle());
  return lseek(fd, 1, SEEK_SET) == 1 && lseek(fd, 0, SEEK_SET) == 0;
}

std::optional<std::size_t> ReadBack(OutputFile& scratch, uint64_t offset, uint8_t* buffer,
                                    std::size_t capacity) {
  for (;;) {
    const ssize_t n =
        pread(Descriptor(scratch.Handle()), buffer, capacity, static_cast<off_t>(offset));
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return std::nullopt;
  }
}

}  // namespace vantorel
