// Bytes as the reports show them: hexadecimal pairs, space-separated.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace vantorel {

inline std::string Hex(std::span<const uint8_t> bytes) {
  std::string text;
  for (const uint8_t b : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%s%02X", text.empty() ? "" : " ", b);
    text += digits;
  }
  return text;
}

}  // namespace vantorel
