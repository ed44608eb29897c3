// Files on Linux. A backslash separates folders too, so that configuration
// files written for Windows (Base_Directory=fw, File=app.bin) work unchanged.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/files.h"

namespace vantorel {
namespace {

constexpr intptr_t kClosed = -1;

std::string NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

int OpenRetrying(const std::string& path, int flags) {
  int fd;
  do {
    fd = open(NativePath(path).c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

InputFile::InputFile(const std::string& path) : handle_(OpenRetrying(path, O_RDONLY)) {}

InputFile::~InputFile() {
  if (IsOpen()) close(Descriptor(handle_));
}

bool InputFile::IsOpen() const { return handle_ != kClosed; }

std::optional<std::size_t> InputFile::Read(uint8_t* buffer, std::size_t capacity) {
  std::size_t filled = 0;
  while (filled < capacity) {
    const ssize_t n = read(Descriptor(handle_), buffer + filled, capacity - filled);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    filled += static_cast<std::size_t>(n);
  }
  return filled;
}

std::optional<uint64_t> InputFile::Size() const {
  struct stat info;
  if (fstat(Descriptor(handle_), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

OutputFile::OutputFile(const std::string& path)
    : handle_(OpenRetrying(path, O_WRONLY | O_CREAT | O_TRUNC)) {}

OutputFile::~OutputFile() {
  if (IsOpen()) close(Descriptor(handle_));
}

bool OutputFile::IsOpen() const { return handle_ != kClosed; }

bool OutputFile::SeekTo(uint64_t offset) {
  return lseek(Descriptor(handle_), static_cast<off_t>(offset), SEEK_SET) ==
         static_cast<off_t>(offset);
}

bool OutputFile::Write(const uint8_t* data, std::size_t length) {
  while (length > 0) {
    const ssize_t n = write(Descriptor(handle_), data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

bool OutputFile::Close() {
  if (!IsOpen()) return false;
  const int result = close(Descriptor(handle_));
  handle_ = kClosed;
  return result == 0;
}

bool IsSameFile(const std::string& first, const std::string& second) {
  struct stat a, b;
  if (stat(NativePath(first).c_str(), &a) != 0 || stat(NativePath(second).c_str(), &b) != 0) {
    return false;
  }
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace vantorel

namespace vantorel {

bool PathExists(const std::string& path) {
  struct stat info;
  return lstat(NativePath(path).c_str(), &info) == 0;
}

bool EnsureDirectory(const std::string& path) {
  struct stat info;
  if (mkdir(NativePath(path).c_str(), 0777) == 0) return true;
  return stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace vantorel
