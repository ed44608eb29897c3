// The profile calls on Windows: kernel32's own. They look a file name without
// a folder up in the Windows folder, not the current one, so a relative path
// is made full first; the lines the reader prints keep the path as given.
#include <windows.h>

#include <vector>

#include "platform/profile.h"

namespace vantorel {
namespace {

std::wstring FullPath(const std::wstring& path) {
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::vector<wchar_t> full(length);
  if (GetFullPathNameW(path.c_str(), length, full.data(), nullptr) == 0) return path;
  return full.data();
}

}  // namespace

uint32_t ProfileSectionNames(wchar_t* buffer, uint32_t capacity, const std::wstring& path) {
  return GetPrivateProfileSectionNamesW(buffer, capacity, FullPath(path).c_str());
}

uint32_t ProfileString(const std::wstring& section, const std::wstring& key, wchar_t* buffer,
                       uint32_t capacity, const std::wstring& path) {
  // Keys before the first header would answer an empty section name here;
  // they never do on Linux, and never do on either build.
  if (section.empty()) {
    if (capacity > 0) buffer[0] = 0;
    return 0;
  }
  return GetPrivateProfileStringW(section.c_str(), key.c_str(), nullptr, buffer, capacity,
                                  FullPath(path).c_str());
}

}  // namespace vantorel
