// Files on Windows, opened by their wide names: a narrow path holds one
// byte per character, so widening it gives back the name exactly.
#include <windows.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/io_win32.h"
#include "platform/windows_text.h"

namespace vantorel {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The output's lock covers one byte far beyond any image, so that it keeps
// other runs out without restricting any other program's reads or writes.
constexpr DWORD kLockOffsetHigh = 0x40000000;

HANDLE Open(const std::string& path, DWORD access, DWORD disposition, DWORD flags = 0) {
  return CreateFileW(WidenLatin1(path).c_str(), access, kShareAll, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

std::optional<FileIdentity> IdentityOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
    return std::nullopt;
  }
  return IdentityOf(info);
}

DWORD Disposition(OutputCreation creation) {
  switch (creation) {
    case OutputCreation::kCreateNew:
      return CREATE_NEW;
    case OutputCreation::kExistingOnly:
      return OPEN_EXISTING;
    case OutputCreation::kOpenOrCreate:
      break;
  }
  return OPEN_ALWAYS;
}

}  // namespace

InputFile::InputFile(const std::string& path)
    : handle_(FromHandle(Open(path, GENERIC_READ, OPEN_EXISTING))) {
  const DWORD error = IsOpen() ? ERROR_SUCCESS : GetLastError();
  openError_ = static_cast<int>(error);
  lackedResources_ = error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NOT_ENOUGH_MEMORY ||
                     error == ERROR_NO_SYSTEM_RESOURCES;
}

InputFile::~InputFile() {
  if (IsOpen()) CloseHandle(AsHandle(handle_));
}

bool InputFile::IsOpen() const { return AsHandle(handle_) != INVALID_HANDLE_VALUE; }

std::optional<std::size_t> InputFile::Read(uint8_t* buffer, std::size_t capacity) {
  std::size_t filled = 0;
  while (filled < capacity) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(capacity - filled, 1 << 30));
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), buffer + filled, wanted, &got, nullptr)) {
      if (GetLastError() == ERROR_BROKEN_PIPE) break;  // the writing end closed: the end
      return std::nullopt;
    }
    if (got == 0) break;
    filled += got;
  }
  return filled;
}

std::optional<std::size_t> InputFile::ReadAt(uint64_t offset, uint8_t* buffer,
                                             std::size_t capacity) const {
  std::size_t filled = 0;
  while (filled < capacity) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(capacity - filled, 1 << 30));
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(offset + filled);
    where.OffsetHigh = static_cast<DWORD>((offset + filled) >> 32);
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), buffer + filled, wanted, &got, &where)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return std::nullopt;
    }
    if (got == 0) break;
    filled += got;
  }
  return filled;
}

std::optional<uint64_t> InputFile::Size() const {
  LARGE_INTEGER size;
  if (GetFileType(AsHandle(handle_)) != FILE_TYPE_DISK ||
      !GetFileSizeEx(AsHandle(handle_), &size)) {
    return std::nullopt;
  }
  return static_cast<uint64_t>(size.QuadPart);
}

std::optional<FileIdentity> InputFile::Identity() const {
  return IdentityOfHandle(AsHandle(handle_));
}

OutputFile::OutputFile(const std::string& path, OutputCreation creation)
    : handle_(FromHandle(Open(path, GENERIC_WRITE, Disposition(creation)))) {}

OutputFile::~OutputFile() {
  if (IsOpen()) CloseHandle(AsHandle(handle_));
}

bool OutputFile::IsOpen() const { return AsHandle(handle_) != INVALID_HANDLE_VALUE; }

std::optional<FileIdentity> OutputFile::Identity() const {
  return IdentityOfHandle(AsHandle(handle_));
}

bool OutputFile::TryLock() {
  OVERLAPPED where{};
  where.OffsetHigh = kLockOffsetHigh;
  return LockFileEx(AsHandle(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &where) != 0 ||
         GetLastError() != ERROR_LOCK_VIOLATION;
}

bool OutputFile::Truncate() {
  if (GetFileType(AsHandle(handle_)) != FILE_TYPE_DISK) return true;
  return SeekTo(0) && SetEndOfFile(AsHandle(handle_)) != 0;
}

bool OutputFile::SeekTo(uint64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(AsHandle(handle_), distance, nullptr, FILE_BEGIN) != 0;
}

bool OutputFile::Write(const uint8_t* data, std::size_t length) {
  return WriteAll(AsHandle(handle_), data, length);
}

bool OutputFile::Sync() {
  return GetFileType(AsHandle(handle_)) != FILE_TYPE_DISK ||
         FlushFileBuffers(AsHandle(handle_)) != 0;
}

bool OutputFile::Close() {
  if (!IsOpen()) return false;
  const bool closed = CloseHandle(AsHandle(handle_)) != 0;
  handle_ = FromHandle(INVALID_HANDLE_VALUE);
  return closed;
}

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
  const HANDLE handle = Open(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  const auto identity = IdentityOfHandle(handle);
  CloseHandle(handle);
  return identity;
}

std::string NativePathOf(const std::string& path) { return path; }

std::optional<uint64_t> SizeOfPath(const std::string& path) {
  const InputFile file(path);
  return file.IsOpen() ? file.Size() : std::nullopt;
}

std::optional<FileIdentity> StandardOutputIdentity() {
  return IdentityOfHandle(GetStdHandle(STD_OUTPUT_HANDLE));
}

// NUL is no file on a disk: it has no identity, nor does a standard output
// that writes to it.
std::optional<FileIdentity> NullDeviceIdentity() { return std::nullopt; }

}  // namespace vantorel
