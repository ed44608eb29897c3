// Numbers on vantorel-inspect's command line: decimal, or hexadecimal after
// "0x" or "0X", digits only, nothing before or after them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantorel {

// The value, or nullopt for anything else: an empty text, a sign, a stray
// character, or a value above `maximum`.
std::optional<uint64_t> ParseCommandNumber(std::wstring_view text, uint64_t maximum);

}  // namespace vantorel
