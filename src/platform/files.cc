// What the platforms' files have in common.
#include "platform/files.h"

namespace vantorel {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  InputFile file(path);
  if (!file.IsOpen()) return std::nullopt;
  std::string content;
  uint8_t buffer[65536];
  for (;;) {
    const auto n = file.Read(buffer, sizeof buffer);
    if (!n) return std::nullopt;
    content.append(reinterpret_cast<const char*>(buffer), *n);
    if (*n < sizeof buffer) return content;
  }
}

}  // namespace vantorel
