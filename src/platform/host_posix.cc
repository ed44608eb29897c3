// Processors and the environment on Linux: the processors of this process's
// affinity mask, so that a build limited to some cores uses only those.
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/host.h"
#include "platform/text.h"
#include "platform/utf8.h"

namespace vantorel {

unsigned ProcessorCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  const int count = CPU_COUNT(&set);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}

std::optional<std::wstring> EnvironmentValue(const std::wstring& name) {
  const auto narrowName = NarrowText(name);
  const char* value = narrowName ? std::getenv(narrowName->c_str()) : nullptr;
  if (value == nullptr) return std::nullopt;
  return DecodeUtf8(value, InvalidUtf8::kEscape);
}

std::optional<std::string> CurrentFolder() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

char FolderSeparator() { return '/'; }

bool IsRelativePath(std::string_view path) {
  return !path.empty() && path.front() != '/' && path.front() != '\\';
}

}  // namespace vantorel
