// Bytes as the reports show them: hexadecimal pairs, space-separated, or
// packed for digests.
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

// Digests as other tools print them: lower-case pairs, nothing between.
inline std::string HexDigits(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

}  // namespace vantorel
