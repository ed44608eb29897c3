// JSON values for the reports.
#include "programs/vantorel-inspect/json_text.h"

#include <cstdio>

#include "platform/utf8.h"

namespace vantorel {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : ReplaceInvalidUtf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonNumber(std::optional<uint64_t> value) {
  return value ? std::to_string(*value) : "null";
}

}  // namespace vantorel
