// The number rule of the configuration file.
#include "config/number.h"

#include <algorithm>
#include <optional>

#include "common/hex.h"
#include "platform/text.h"

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

// Where the conversion of a text went, as the number rule converts it.
struct Scan {
  uint32_t value = 0;
  std::size_t start = 0;  // where the digits begin, a leading 0 of octal among them
  std::size_t end = 0;    // where the conversion stopped
  unsigned base = 10;
  bool digits = false;
  bool overflow = false;
  bool negative = false;
};

Scan ScanNumber(std::string_view text) {
  Scan scan;
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) scan.negative = text[i++] == '-';

  if (i < text.size() && text[i] == '0') {
    scan.base = 8;
    // "0x" selects hexadecimal only when a hexadecimal digit follows; "0xz"
    // reads as the number 0 followed by other text.
    if (i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        DigitValue(text[i + 2], 16)) {
      scan.base = 16;
      i += 2;
    }
  }
  scan.start = i;

  constexpr uint64_t kMax = 0xFFFFFFFF;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const auto digit = DigitValue(text[i], scan.base);
    if (!digit) break;
    scan.digits = true;
    magnitude = magnitude * scan.base + *digit;
    if (magnitude > kMax) {
      scan.overflow = true;
      magnitude = kMax;  // keeps the arithmetic small; the result is saturated
    }
  }
  scan.end = scan.digits ? i : 0;
  const auto value = static_cast<uint32_t>(magnitude);
  scan.value = scan.overflow   ? static_cast<uint32_t>(kMax)
               : scan.negative ? static_cast<uint32_t>(0u - value)
                               : value;
  return scan;
}

// Flash sizes and addresses are multiples of this much, which is how a
// hexadecimal value written without its 0x gives itself away.
constexpr uint64_t kFlashSector = 4096;

// 65,536: thousands set apart, as people read sizes.
std::string Grouped(uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
  return digits;
}

// The digits of a plain decimal value read as hexadecimal: a round flash
// size or address that the decimal value is not.
std::optional<uint64_t> MeantAsHexadecimal(std::string_view digits, uint32_t decimal) {
  if (digits.empty() || digits.size() > 8 || decimal % kFlashSector == 0) return std::nullopt;
  uint64_t value = 0;
  for (const char c : digits) value = value * 16 + static_cast<uint64_t>(c - '0');
  if (value == 0 || value % kFlashSector != 0) return std::nullopt;
  return value;
}

}  // namespace

uint32_t ParseNumber(std::string_view text) {
  return ScanNumber(text.substr(0, kNumberTextLimit)).value;
}

std::string NumberText(std::wstring_view value, std::size_t limit) {
  std::string text;
  for (wchar_t c : value.substr(0, limit)) {
    text += static_cast<unsigned>(c) < 0x80 ? static_cast<char>(c) : '\x80';
  }
  return text;
}

std::string NumberDoubt(std::wstring_view value) {
  const std::string text = NumberText(value, value.size());
  const Scan scan = ScanNumber(text);
  if (!scan.digits) {
    const std::size_t first = text.find_first_not_of(" \t");
    const bool hexLetter =
        first != std::string::npos && DigitValue(text[first], 16) && !DigitValue(text[first], 10);
    return hexLetter ? "no digits (hexadecimal needs 0x)" : "no digits";
  }
  if (scan.end > kNumberTextLimit) {
    return "only its first " + std::to_string(kNumberTextLimit) + " characters are read";
  }
  if (scan.overflow) return "beyond 32 bits";
  if (scan.end < text.size() && !IsSpace(text[scan.end])) {
    const char next = text[scan.end];
    if (scan.base == 8 && (next == 'x' || next == 'X') && scan.end == text.find(next)) {
      return "no hexadecimal digit after \"0" + std::string(1, next) + "\"";
    }
    if (scan.base == 8 && (next == '8' || next == '9')) {
      return std::string(1, next) + " is no octal digit (a leading 0 means octal)";
    }
    const std::size_t blank = std::min(text.find_first_of(" \t", scan.end), text.size());
    return "\"" + Utf8ForDisplay(value.substr(scan.end, blank - scan.end)) +
           "\" after the digits is ignored";
  }
  if (scan.negative && scan.value != 0) return "a minus sign wraps it around 2^32";
  const std::string_view digits = std::string_view(text).substr(scan.start, scan.end - scan.start);
  if (scan.base == 8 && scan.value >= 8) {
    const std::string_view significant = digits.substr(digits.find_first_not_of('0'));
    return "a leading 0 makes it octal; write 0x" + std::string(significant) + " for hexadecimal";
  }
  if (scan.base == 10 && !scan.negative) {
    if (const auto meant = MeantAsHexadecimal(digits, scan.value)) {
      return "read as decimal " + Grouped(scan.value) + " (" + HexNumber(scan.value) + "); 0x" +
             std::string(digits) + " is " + Grouped(*meant);
    }
  }
  return "";
}

}  // namespace vantorel
