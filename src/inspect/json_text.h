// Text as a JSON string, for the reports: always valid UTF-8, bytes of a
// path that are not become U+FFFD.
#pragma once

#include <cstdio>
#include <string>

#include "platform/utf8.h"

namespace vantorel {

inline std::string JsonString(const std::string& text) {
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

}  // namespace vantorel
