// What the platforms' files have in common.
#include "platform/files.h"

#include <algorithm>
#include <vector>

#include "platform/system_error.h"

namespace vantorel {

FileContent ReadWholeFile(const std::string& path, std::size_t limit) {
  InputFile file(path);
  if (!file.IsOpen()) return {FileContent::Reading::kUnreadable, {}, file.OpenError()};
  FileContent content{FileContent::Reading::kRead, {}, 0};
  std::vector<uint8_t> buffer(65536);
  for (;;) {
    const std::size_t wanted = std::min(buffer.size(), limit + 1 - content.bytes.size());
    const auto n = file.Read(buffer.data(), wanted);
    if (!n) return {FileContent::Reading::kUnreadable, {}, LastSystemError()};
    content.bytes.append(reinterpret_cast<const char*>(buffer.data()), *n);
    if (content.bytes.size() > limit) return {FileContent::Reading::kTooLarge, {}, 0};
    if (*n < wanted) return content;
  }
}

}  // namespace vantorel
