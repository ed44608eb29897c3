#include "config/number.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(Number, ReadsValuesAsAnUnsigned32BitConversion) {
  const struct {
    const char* text;
    uint32_t value;
  } kCases[] = {
      {"0x1000", 4096},
      {"0X1000", 4096},
      {"4096", 4096},
      {"010", 8},
      {"08", 0},
      {"12kB", 12},
      {"abc", 0},
      {"", 0},
      {"-1", 4294967295u},
      {"-2", 4294967294u},
      {"+7", 7},
      {"  \t 42", 42},
      {"4294967295", 4294967295u},
      {"4294967296", 4294967295u},
      {"99999999999999999", 4294967295u},
      {"-4294967295", 1},
      {"-4294967296", 4294967295u},
      {"0xFFFFFFFF", 4294967295u},
      {"0x100000000", 4294967295u},
      {"0x", 0},
      {"0xg", 0},
      {"-", 0},
      {"- 1", 0},
      {"0x0000000000000000010", 0},  // the hexadecimal 1 is the 20th character
      {"00000000000000000019", 1},   // octal; the 9 lies beyond the 19 read
      {"\x80"
       "12",
       0},
  };
  for (const auto& c : kCases) EXPECT_EQ(ParseNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(Number, NumberTextKeepsNineteenCharactersAndMasksNonAscii) {
  EXPECT_EQ(NumberText(L"12345678901234567890123"), "1234567890123456789");
  EXPECT_EQ(ParseNumber(NumberText(L"\u0661\u0662")), 0u);  // Arabic-Indic digits are no digits
  EXPECT_EQ(NumberText(L"7\u00e9"), "7\x80");
}

}  // namespace
}  // namespace vantorel
