// Command-line numbers, read digit by digit so that overflow is caught
// before it happens rather than after it wrapped.
#include "programs/vantorel-inspect/command_number.h"

namespace vantorel {
namespace {

std::optional<unsigned> DigitValue(wchar_t c, unsigned radix) {
  unsigned value = 16;
  if (c >= L'0' && c <= L'9') value = static_cast<unsigned>(c - L'0');
  if (c >= L'a' && c <= L'f') value = static_cast<unsigned>(c - L'a' + 10);
  if (c >= L'A' && c <= L'F') value = static_cast<unsigned>(c - L'A' + 10);
  if (value >= radix) return std::nullopt;
  return value;
}

}  // namespace

std::optional<uint64_t> ParseCommandNumber(std::wstring_view text, uint64_t maximum) {
  unsigned radix = 10;
  if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    radix = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (const wchar_t c : text) {
    const auto digit = DigitValue(c, radix);
    if (!digit || *digit > maximum || value > (maximum - *digit) / radix) return std::nullopt;
    value = value * radix + *digit;
  }
  return value;
}

}  // namespace vantorel
