// Number values of the configuration, read as a 32-bit unsigned long
// conversion with base 0 reads them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantorel {

inline constexpr std::size_t kNumberTextLimit = 19;

// Leading white space, an optional sign, then hexadecimal after 0x or 0X,
// octal after a leading 0, decimal otherwise, up to the first character that
// is no digit. No digits gives 0; a magnitude above 4294967295 gives
// 4294967295 whatever the sign; otherwise '-' negates modulo 2^32. Only the
// first 19 characters are read.
uint32_t ParseNumber(std::string_view text);

// The narrow text a number value is read from: its first 19 characters, each
// one beyond ASCII given as a byte that is neither digit, sign nor space.
std::string NumberText(std::wstring_view value);

}  // namespace vantorel
