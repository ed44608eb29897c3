// Hexadecimal text.
#include "common/hex.h"

namespace vantorel {
namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr char kLowerDigits[] = "0123456789abcdef";

void AppendPair(std::string& text, uint8_t value, const char* digits) {
  text += digits[value >> 4];
  text += digits[value & 0xF];
}

}  // namespace

std::string Hex(std::span<const uint8_t> bytes) {
  std::string text;
  for (const uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    AppendPair(text, b, kUpperDigits);
  }
  return text;
}

std::string HexDigits(std::span<const uint8_t> bytes) {
  std::string text;
  for (const uint8_t b : bytes) AppendPair(text, b, kLowerDigits);
  return text;
}

void AppendHexByte(std::string& text, uint8_t value) { AppendPair(text, value, kUpperDigits); }

std::string HexNumber(uint64_t value) {
  std::string digits;
  do {
    digits.insert(digits.begin(), kUpperDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return "0x" + digits;
}

std::string HexWord(uint64_t value) {
  std::string text = HexNumber(value);
  if (text.size() < 10) text.insert(2, 10 - text.size(), '0');
  return text;
}

std::string HexAndDecimal(uint64_t value) {
  return HexWord(value) + " (" + std::to_string(value) + ")";
}

}  // namespace vantorel
