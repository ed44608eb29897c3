// What the platforms' files have in common.
#include "platform/files.h"

#include <algorithm>
#include <vector>

namespace vantorel {

FileContent ReadWholeFile(const std::string& path, std::size_t limit) {
  InputFile file(path);
  if (!file.IsOpen()) return {};
  FileContent content{FileContent::Outcome::kRead, {}};
  std::vector<uint8_t> buffer(65536);
  for (;;) {
    const std::size_t wanted = std::min(buffer.size(), limit + 1 - content.bytes.size());
    const auto n = file.Read(buffer.data(), wanted);
    if (!n) return {};
    content.bytes.append(reinterpret_cast<const char*>(buffer.data()), *n);
    if (content.bytes.size() > limit) return {FileContent::Outcome::kTooLarge, {}};
    if (*n < wanted) return content;
  }
}

}  // namespace vantorel
