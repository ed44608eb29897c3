// Folders on Windows.
#include <windows.h>

#include "platform/folders.h"
#include "platform/io_win32.h"
#include "platform/windows_text.h"

namespace vantorel {
FolderCreation EnsureDirectory(const std::string& path) {
  const std::wstring wide = WidenLatin1(path);
  if (CreateDirectoryW(wide.c_str(), nullptr)) return FolderCreation::kCreated;
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return FolderCreation::kExisted;
  }
  SetLastError(error);  // why the folder could not be made
  return FolderCreation::kFailed;
}

bool RemoveEmptyFolder(const std::string& path) {
  return RemoveDirectoryW(WidenLatin1(path).c_str()) != 0;
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

}  // namespace vantorel
