// Folders on Windows.
#include <windows.h>

#include "platform/folders.h"
#include "platform/interrupt_cleanup.h"
#include "platform/io_win32.h"
#include "platform/windows_text.h"

namespace vantorel {
bool EnsureDirectory(const std::string& path) {
  const std::wstring wide = WidenLatin1(path);
  if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<FolderEntry> EntryAt(const std::string& path) {
  const HANDLE handle = CreateFileW(
      WidenLatin1(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!known) return std::nullopt;
  return FolderEntry{IdentityOf(info), (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  return MoveFileExW(WidenLatin1(from).c_str(), WidenLatin1(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  return MoveFileExW(WidenLatin1(from).c_str(), WidenLatin1(to).c_str(), MOVEFILE_WRITE_THROUGH) !=
         0;
}

bool RemoveFile(const std::string& path) { return DeleteFileW(WidenLatin1(path).c_str()) != 0; }

bool LinkFile(const std::string& existing, const std::string& newName) {
  return CreateHardLinkW(WidenLatin1(newName).c_str(), WidenLatin1(existing).c_str(), nullptr) != 0;
}

// MOVEFILE_WRITE_THROUGH already returns only once the rename is on disk.
bool SyncFolderOf(const std::string&) { return true; }

ReplacementFile::ReplacementFile(const std::string& target)
    : target_(target), handle_(FromHandle(INVALID_HANDLE_VALUE)) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts && !IsOpen(); ++attempt) {
    temporary_ = TemporaryNameFor(target_);
    const HANDLE file = CreateFileW(WidenLatin1(temporary_).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      handle_ = FromHandle(file);
    } else if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  if (!IsOpen()) {
    temporary_.clear();
    return;
  }
  try {
    cleanup_ = std::make_unique<InterruptCleanup>(temporary_);
  } catch (...) {
    // No destructor runs for an object whose constructor throws.
    CloseHandle(AsHandle(handle_));
    DeleteFileW(WidenLatin1(temporary_).c_str());
    throw;
  }
}

ReplacementFile::~ReplacementFile() {
  if (IsOpen()) CloseHandle(AsHandle(handle_));
  if (!temporary_.empty()) DeleteFileW(WidenLatin1(temporary_).c_str());
}

bool ReplacementFile::IsOpen() const { return AsHandle(handle_) != INVALID_HANDLE_VALUE; }

bool ReplacementFile::Write(const uint8_t* data, std::size_t length) {
  return WriteAll(AsHandle(handle_), data, length);
}

bool ReplacementFile::Finish() {
  if (!IsOpen()) return false;
  const bool flushed = FlushFileBuffers(AsHandle(handle_)) != 0;
  const bool closed = CloseHandle(AsHandle(handle_)) != 0;
  handle_ = FromHandle(INVALID_HANDLE_VALUE);
  return flushed && closed;
}

bool ReplacementFile::PutInPlace(bool replace) {
  if (IsOpen() || temporary_.empty()) return false;
  const bool renamed =
      replace ? RenameReplacing(temporary_, target_) : RenameWithoutReplacing(temporary_, target_);
  if (!renamed) return false;
  temporary_.clear();
  cleanup_.reset();
  return true;
}

}  // namespace vantorel
