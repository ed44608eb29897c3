// Folders on Linux.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/folders.h"
#include "platform/io_posix.h"

namespace vantorel {
namespace {

constexpr intptr_t kClosed = -1;
constexpr int kNameAttempts = 100;

int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

bool EnsureDirectory(const std::string& path) {
  struct stat info;
  if (mkdir(NativePath(path).c_str(), 0777) == 0) return true;
  return stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<FolderEntry> EntryAt(const std::string& path) {
  struct stat info;
  if (lstat(NativePath(path).c_str(), &info) != 0) return std::nullopt;
  return FolderEntry{{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)},
                     S_ISDIR(info.st_mode)};
}

ReplacementFile::ReplacementFile(const std::string& target)
    : target_(NativePath(target)), handle_(kClosed) {
  // O_EXCL with O_CREAT fails on any existing entry, a link included.
  for (int attempt = 0; attempt < kNameAttempts && handle_ == kClosed; ++attempt) {
    temporary_ = TemporaryNameFor(target_);
    const int fd =
        open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      handle_ = fd;
    } else if (errno != EEXIST && errno != EINTR) {
      break;
    }
  }
  if (handle_ == kClosed) temporary_.clear();
}

ReplacementFile::~ReplacementFile() {
  if (handle_ != kClosed) close(Descriptor(handle_));
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

bool ReplacementFile::IsOpen() const { return handle_ != kClosed; }

bool ReplacementFile::Write(const uint8_t* data, std::size_t length) {
  return WriteAll(Descriptor(handle_), data, length);
}

bool ReplacementFile::Commit() {
  if (handle_ == kClosed) return false;
  const bool written = fsync(Descriptor(handle_)) == 0 && close(Descriptor(handle_)) == 0;
  handle_ = kClosed;
  if (!written || rename(temporary_.c_str(), target_.c_str()) != 0) return false;
  temporary_.clear();
  return true;
}

}  // namespace vantorel
