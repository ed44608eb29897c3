// Processors and the environment on Windows.
#include <windows.h>

#include <vector>

#include "platform/host.h"
#include "platform/text.h"

namespace vantorel {

unsigned ProcessorCount() {
  const DWORD count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}

std::optional<std::wstring> EnvironmentValue(const std::wstring& name) {
  const DWORD length = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (length == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::wstring();
  }
  std::vector<wchar_t> value(length);
  const DWORD copied = GetEnvironmentVariableW(name.c_str(), value.data(), length);
  return std::wstring(value.data(), copied);
}

std::optional<std::string> CurrentFolder() {
  const DWORD length = GetCurrentDirectoryW(0, nullptr);
  if (length == 0) return std::nullopt;
  std::vector<wchar_t> folder(length);
  const DWORD copied = GetCurrentDirectoryW(length, folder.data());
  if (copied == 0 || copied >= length) return std::nullopt;
  return Utf8ForDisplay(std::wstring_view(folder.data(), copied));
}

char FolderSeparator() { return '\\'; }

bool IsRelativePath(std::string_view path) {
  const bool separatorFirst = !path.empty() && (path.front() == '\\' || path.front() == '/');
  const bool drive = path.size() >= 2 && path[1] == ':';
  return !path.empty() && !separatorFirst && !drive;
}

}  // namespace vantorel
