// The number rule of the configuration file.
#include "config/number.h"

#include <optional>

namespace vantorel {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::optional<unsigned> DigitValue(char c, unsigned base) {
  unsigned value;
  if (c >= '0' && c <= '9') {
    value = static_cast<unsigned>(c - '0');
  } else if (c >= 'a' && c <= 'z') {
    value = static_cast<unsigned>(c - 'a' + 10);
  } else if (c >= 'A' && c <= 'Z') {
    value = static_cast<unsigned>(c - 'A' + 10);
  } else {
    return std::nullopt;
  }
  if (value >= base) return std::nullopt;
  return value;
}

}  // namespace

uint32_t ParseNumber(std::string_view text) {
  text = text.substr(0, kNumberTextLimit);
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  unsigned base = 10;
  if (i < text.size() && text[i] == '0') {
    base = 8;
    // "0x" selects hexadecimal only when a hexadecimal digit follows; "0xz"
    // reads as the number 0 followed by other text.
    if (i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        DigitValue(text[i + 2], 16)) {
      base = 16;
      i += 2;
    }
  }

  constexpr uint64_t kMax = 0xFFFFFFFF;
  uint64_t magnitude = 0;
  bool overflow = false;
  for (; i < text.size(); ++i) {
    const auto digit = DigitValue(text[i], base);
    if (!digit) break;
    magnitude = magnitude * base + *digit;
    if (magnitude > kMax) {
      overflow = true;
      magnitude = kMax;  // keeps the arithmetic small; the result is saturated
    }
  }
  if (overflow) return kMax;
  const auto value = static_cast<uint32_t>(magnitude);
  return negative ? static_cast<uint32_t>(0u - value) : value;
}

std::string NumberText(std::wstring_view value) {
  std::string text;
  for (wchar_t c : value.substr(0, kNumberTextLimit)) {
    text += static_cast<unsigned>(c) < 0x80 ? static_cast<char>(c) : '\x80';
  }
  return text;
}

}  // namespace vantorel
