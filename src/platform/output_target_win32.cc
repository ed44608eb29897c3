// The output's platform part on Windows: a regular file or a name not yet
// taken is replaced through a new file under a temporary name (Windows makes
// no unnamed files); a device name, a folder or anything else is opened in
// place, which fails where it always did.
#include <windows.h>

#include <random>

#include "platform/folders.h"
#include "platform/io_win32.h"
#include "platform/output_target.h"
#include "platform/windows_text.h"

namespace vantorel {

OutputTarget ExamineOutputTarget(const std::string& path, const OutputPolicy& policy) {
  OutputTarget target{path};
  const DWORD flags =
      FILE_FLAG_BACKUP_SEMANTICS | (policy.replaceAnyEntry ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  const HANDLE handle = CreateFileW(WidenLatin1(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // Any failure but a name not yet taken is the open's to report.
    target.inPlace = policy.inPlaceWhenRefused && GetLastError() != ERROR_FILE_NOT_FOUND;
    return target;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool regular = GetFileType(handle) == FILE_TYPE_DISK &&
                       GetFileInformationByHandle(handle, &info) != 0 &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  const bool readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  CloseHandle(handle);
  if (!policy.replaceAnyEntry) {
    target.inPlace = !regular || (readOnly && policy.inPlaceWhenRefused);
  }
  return target;
}

NewFile CreateFileBeside(const std::string& target) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::string name = TemporaryNameFor(target);
    auto file = std::make_unique<OutputFile>(name, OutputCreation::kCreateNew);
    if (file->IsOpen()) return {std::move(file), std::move(name)};
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return {};
}

// Deleted by the system once closed, however the run ends.
std::unique_ptr<OutputFile> CreateScratchFile() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return nullptr;
  std::random_device random;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::wstring name =
        std::wstring(folder) + L"vantorel-" + std::to_wstring(random()) + L".tmp";
    const HANDLE file =
        CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      return std::make_unique<OutputFile>(AdoptedHandle{FromHandle(file)});
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return nullptr;
}

bool NameUnnamedFile(OutputFile&, const std::string&) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return false;
}

// The new file takes the attributes a new file gets; Windows keeps no owner
// and permission bits of the kind Linux has.
bool CopyOwnerAndMode(const std::string&, OutputFile&) { return true; }

// Pipes and character devices (NUL, consoles) keep no position.
bool KeepsPosition(OutputFile& file) {
  return GetFileType(AsHandle(file.Handle())) == FILE_TYPE_DISK;
}

std::optional<std::size_t> ReadBack(OutputFile& scratch, uint64_t offset, uint8_t* buffer,
                                    std::size_t capacity) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(offset);
  where.OffsetHigh = static_cast<DWORD>(offset >> 32);
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(capacity, 1 << 30));
  DWORD got = 0;
  if (!ReadFile(AsHandle(scratch.Handle()), buffer, wanted, &got, &where)) {
    if (GetLastError() == ERROR_HANDLE_EOF) return 0;
    return std::nullopt;
  }
  return got;
}

}  // namespace vantorel
