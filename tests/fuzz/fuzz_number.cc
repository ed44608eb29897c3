// The number rule against a reference built on the C library's 64-bit
// conversion: both must agree on every text.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "config/number.h"

namespace {

uint32_t Reference(std::string text) {
  text = text.substr(0, 19);
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::string rest = text.substr(i);
  // A second sign or blank would be taken by strtoull, but ends the number here.
  if (rest.empty() || rest[0] == '+' || rest[0] == '-' ||
      std::isspace(static_cast<unsigned char>(rest[0]))) {
    return 0;
  }
  errno = 0;
  const unsigned long long magnitude = std::strtoull(rest.c_str(), nullptr, 0);
  if (errno == ERANGE || magnitude > 0xFFFFFFFFull) return 0xFFFFFFFF;
  const auto value = static_cast<uint32_t>(magnitude);
  return negative ? 0u - value : value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // strtoull stops at a zero byte, the rule would not: keep texts C strings.
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, text.find('\0'));
  if (vantorel::ParseNumber(text) != Reference(text)) __builtin_trap();
  return 0;
}
