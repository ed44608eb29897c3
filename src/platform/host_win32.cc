// Processors and the environment on Windows.
#include <windows.h>

#include <vector>

#include "platform/host.h"

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

}  // namespace vantorel
