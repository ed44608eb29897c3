// Files on Windows, opened by their wide names: a narrow path holds one
// byte per character, so widening it gives back the name exactly.
#include <windows.h>

#include "platform/files.h"
#include "platform/windows_text.h"

namespace vantorel {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
intptr_t FromHandle(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

HANDLE Open(const std::string& path, DWORD access, DWORD disposition, DWORD flags = 0) {
  return CreateFileW(WidenLatin1(path).c_str(), access, kShareAll, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

}  // namespace

InputFile::InputFile(const std::string& path)
    : handle_(FromHandle(Open(path, GENERIC_READ, OPEN_EXISTING))) {}

InputFile::~InputFile() {
  if (IsOpen()) CloseHandle(AsHandle(handle_));
}

bool InputFile::IsOpen() const { return AsHandle(handle_) != INVALID_HANDLE_VALUE; }

std::optional<std::size_t> InputFile::Read(uint8_t* buffer, std::size_t capacity) {
  std::size_t filled = 0;
  while (filled < capacity) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(capacity - filled, 1 << 30));
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), buffer + filled, wanted, &got, nullptr)) return std::nullopt;
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

OutputFile::OutputFile(const std::string& path)
    : handle_(FromHandle(Open(path, GENERIC_WRITE, CREATE_ALWAYS))) {}

OutputFile::~OutputFile() {
  if (IsOpen()) CloseHandle(AsHandle(handle_));
}

bool OutputFile::IsOpen() const { return AsHandle(handle_) != INVALID_HANDLE_VALUE; }

bool OutputFile::SeekTo(uint64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(AsHandle(handle_), distance, nullptr, FILE_BEGIN) != 0;
}

bool OutputFile::Write(const uint8_t* data, std::size_t length) {
  while (length > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length, 1 << 30));
    DWORD written = 0;
    if (!WriteFile(AsHandle(handle_), data, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    length -= written;
  }
  return true;
}

bool OutputFile::Close() {
  if (!IsOpen()) return false;
  const bool closed = CloseHandle(AsHandle(handle_)) != 0;
  handle_ = FromHandle(INVALID_HANDLE_VALUE);
  return closed;
}

bool IsSameFile(const std::string& first, const std::string& second) {
  BY_HANDLE_FILE_INFORMATION a, b;
  const auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE handle = Open(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    return known;
  };
  return identify(first, a) && identify(second, b) &&
         a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(WidenLatin1(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool EnsureDirectory(const std::string& path) {
  const std::wstring wide = WidenLatin1(path);
  if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace vantorel
