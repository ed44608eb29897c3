// The output's kind on Windows: a regular file or a name not yet taken is
// replaced; a device name, a folder or anything else is opened in place,
// which fails where it always did.
#include <windows.h>

#include "platform/output_target.h"
#include "platform/windows_text.h"

namespace vantorel {

OutputTarget ExamineOutputTarget(const std::string& path) {
  OutputTarget target{path, false};
  const HANDLE handle = CreateFileW(WidenLatin1(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    target.replaceable = error == ERROR_FILE_NOT_FOUND;
    return target;
  }
  BY_HANDLE_FILE_INFORMATION info;
  target.replaceable =
      GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) != 0 &&
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
  CloseHandle(handle);
  return target;
}

// The temporary file takes the attributes a new file gets; Windows keeps no
// permission bits of the kind Linux has.
void CopyPermissions(const std::string&, const std::string&) {}

}  // namespace vantorel
