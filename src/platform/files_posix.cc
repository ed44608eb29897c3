// Files on Linux.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/io_posix.h"

namespace vantorel {
namespace {

int OpenRetrying(const std::string& path, int flags) {
  int fd;
  do {
    fd = open(NativePath(path).c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::optional<FileIdentity> IdentityOfDescriptor(int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0) return std::nullopt;
  return IdentityOf(info);
}

int CreationFlags(OutputCreation creation) {
  switch (creation) {
    case OutputCreation::kCreateNew:
      return O_CREAT | O_EXCL | O_NOFOLLOW;
    case OutputCreation::kExistingOnly:
      return 0;
    case OutputCreation::kOpenOrCreate:
      break;
  }
  return O_CREAT;
}

}  // namespace

InputFile::InputFile(const std::string& path) : handle_(OpenRetrying(path, O_RDONLY)) {
  openError_ = IsOpen() ? 0 : errno;
  lackedResources_ = openError_ == EMFILE || openError_ == ENFILE || openError_ == ENOMEM;
}

InputFile::~InputFile() {
  if (IsOpen()) close(Descriptor(handle_));
}

bool InputFile::IsOpen() const { return handle_ != kClosed; }

namespace {

// Fills the buffer with what `readSome(destination, room, filledSoFar)`
// delivers, as read() does, resuming after interruptions, up to the end.
template <typename ReadSome>
std::optional<std::size_t> Fill(uint8_t* buffer, std::size_t capacity, ReadSome readSome) {
  std::size_t filled = 0;
  while (filled < capacity) {
    const ssize_t n = readSome(buffer + filled, capacity - filled, filled);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    filled += static_cast<std::size_t>(n);
  }
  return filled;
}

}  // namespace

std::optional<std::size_t> InputFile::Read(uint8_t* buffer, std::size_t capacity) {
  return Fill(buffer, capacity, [this](uint8_t* to, std::size_t room, std::size_t) {
    return read(Descriptor(handle_), to, room);
  });
}

std::optional<std::size_t> InputFile::ReadAt(uint64_t offset, uint8_t* buffer,
                                             std::size_t capacity) const {
  return Fill(buffer, capacity, [this, offset](uint8_t* to, std::size_t room, std::size_t done) {
    return pread(Descriptor(handle_), to, room, static_cast<off_t>(offset + done));
  });
}

std::optional<uint64_t> InputFile::Size() const {
  struct stat info;
  if (fstat(Descriptor(handle_), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

std::optional<FileIdentity> InputFile::Identity() const {
  return IdentityOfDescriptor(Descriptor(handle_));
}

// Opened without waiting, so that a pipe nobody reads fails at once instead
// of blocking the run; writes then wait as usual.
OutputFile::OutputFile(const std::string& path, OutputCreation creation)
    : handle_(OpenRetrying(path, O_WRONLY | O_NONBLOCK | CreationFlags(creation))) {
  if (IsOpen())
    fcntl(Descriptor(handle_), F_SETFL, fcntl(Descriptor(handle_), F_GETFL) & ~O_NONBLOCK);
}

OutputFile::~OutputFile() {
  if (IsOpen()) close(Descriptor(handle_));
}

bool OutputFile::IsOpen() const { return handle_ != kClosed; }

std::optional<FileIdentity> OutputFile::Identity() const {
  return IdentityOfDescriptor(Descriptor(handle_));
}

bool OutputFile::TryLock() {
  int result;
  do {
    result = flock(Descriptor(handle_), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0 || errno != EWOULDBLOCK;
}

bool OutputFile::Truncate() {
  struct stat info;
  if (fstat(Descriptor(handle_), &info) != 0) return false;
  return !S_ISREG(info.st_mode) || ftruncate(Descriptor(handle_), 0) == 0;
}

bool OutputFile::SeekTo(uint64_t offset) {
  const off_t reached = lseek(Descriptor(handle_), static_cast<off_t>(offset), SEEK_SET);
  if (reached == static_cast<off_t>(offset)) return true;
  if (reached >= 0) errno = ESPIPE;  // a device that keeps no position
  return false;
}

bool OutputFile::Write(const uint8_t* data, std::size_t length) {
  return WriteAll(Descriptor(handle_), data, length);
}

bool OutputFile::Sync() {
  int result;
  do {
    result = fsync(Descriptor(handle_));
  } while (result != 0 && errno == EINTR);
  return result == 0 || errno == EINVAL || errno == EROFS;
}

bool OutputFile::Close() {
  if (!IsOpen()) return false;
  const int result = close(Descriptor(handle_));
  handle_ = kClosed;
  return result == 0;
}

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
  struct stat info;
  if (stat(NativePath(path).c_str(), &info) != 0) return std::nullopt;
  return IdentityOf(info);
}

std::string NativePathOf(const std::string& path) { return NativePath(path); }

std::optional<uint64_t> SizeOfPath(const std::string& path) {
  struct stat info;
  if (stat(NativePath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

std::optional<FileIdentity> StandardOutputIdentity() { return IdentityOfDescriptor(STDOUT_FILENO); }

std::optional<FileIdentity> NullDeviceIdentity() { return IdentityOfPath("/dev/null"); }

}  // namespace vantorel
