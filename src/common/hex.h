// Hexadecimal text, the one home of every form the programs print: byte
// pairs for the reports, packed digests, record digits, flash addresses and
// sizes.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vantorel {

// Upper-case pairs separated by spaces: "4D 4D 4D 00".
std::string Hex(std::span<const uint8_t> bytes);

// Digests as other tools print them: lower-case pairs, nothing between.
std::string HexDigits(std::span<const uint8_t> bytes);

// Appends one byte as two upper-case digits, as the flash records take them.
void AppendHexByte(std::string& text, uint8_t value);

// An address or size: "0x" and at least eight upper-case digits.
std::string HexWord(uint64_t value);

// A number in as few digits as it needs: "0x2710".
std::string HexNumber(uint64_t value);

// 0x0001C000 (114688): an address or size in both forms.
std::string HexAndDecimal(uint64_t value);

}  // namespace vantorel
