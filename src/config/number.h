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

// The narrow text a number value is read from: its first `limit` characters,
// each one beyond ASCII given as a byte that is neither digit, sign nor space.
std::string NumberText(std::wstring_view value, std::size_t limit = kNumberTextLimit);

// Why a value, uncut, reads differently from what it probably means, in
// words that follow what it is read as: "no digits", the digit that is not
// octal, the text right after the digits, a magnitude beyond 32 bits, digits
// past the 19 characters read, a minus sign, a leading 0 that makes a value
// of 8 or more octal. A plain decimal value whose digits, read as
// hexadecimal, make a round flash size or address (a multiple of 4 KiB)
// that the decimal value is not gets a whole phrase of its own instead,
// "read as decimal 10,000 (0x2710); 0x10000 is 65,536". Empty when the value
// is a plain number, or a number followed by blanks and other text (a note
// after the value).
std::string NumberDoubt(std::wstring_view value);

}  // namespace vantorel
