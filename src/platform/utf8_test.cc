#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <optional>

namespace vantorel {
namespace {

// Every boundary of UTF-8's forms: the first and last character of each
// length and around the surrogates, and the sequences just beyond them. A
// valid sequence is one character both ways; each byte of an invalid one is
// a Latin-1 character (configuration files), an escape that gives the byte
// back (arguments), and U+FFFD where text must be UTF-8.
TEST(Utf8, EveryBoundaryOfTheForms) {
  const struct {
    std::string bytes;
    std::optional<char32_t> character;  // none: not UTF-8
  } kCases[] = {
      {"\x7F", 0x7F},
      {"\xC2\x80", 0x80},
      {"\xDF\xBF", 0x7FF},
      {"\xE0\xA0\x80", 0x800},
      {"\xED\x9F\xBF", 0xD7FF},
      {"\xEE\x80\x80", 0xE000},
      {"\xEF\xBF\xBF", 0xFFFF},
      {"\xF0\x90\x80\x80", 0x10000},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF},
      {"\x80", std::nullopt},              // a continuation alone
      {"\xC1\xBF", std::nullopt},          // overlong two bytes
      {"\xE0\x9F\xBF", std::nullopt},      // overlong three bytes
      {"\xF0\x8F\xBF\xBF", std::nullopt},  // overlong four bytes
      {"\xED\xA0\x80", std::nullopt},      // a surrogate
      {"\xF4\x90\x80\x80", std::nullopt},  // above U+10FFFF
      {"\xF5\x80\x80\x80", std::nullopt},  // no such lead byte
      {"\xE2\x82", std::nullopt},          // cut short
      {"\xF0\x9F\x98", std::nullopt},      // cut short
      {"\xF0\x9F\x98\x41", std::nullopt},  // interrupted
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    if (c.character) {
      const std::wstring text(1, static_cast<wchar_t>(*c.character));
      EXPECT_EQ(DecodeUtf8(c.bytes, InvalidUtf8::kAsLatin1), text);
      EXPECT_EQ(EncodeUtf8(text), c.bytes);
      EXPECT_EQ(ReplaceInvalidUtf8(c.bytes), c.bytes);
      continue;
    }
    std::wstring latin1;
    std::string replaced;
    for (const char b : c.bytes) {
      latin1 += static_cast<wchar_t>(static_cast<unsigned char>(b));
      replaced += b == 'A' ? "A" : "\xEF\xBF\xBD";
    }
    EXPECT_EQ(DecodeUtf8(c.bytes, InvalidUtf8::kAsLatin1), latin1);
    EXPECT_EQ(EncodeUtf8(DecodeUtf8(c.bytes, InvalidUtf8::kEscape)), c.bytes);
    EXPECT_EQ(ReplaceInvalidUtf8(c.bytes), replaced);
  }
  for (const wchar_t c : {static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000)}) {
    EXPECT_EQ(EncodeUtf8(std::wstring(1, c)), std::nullopt);
    std::wstring text(1, L'a');
    text += c;
    EXPECT_EQ(EncodeUtf8ForDisplay(text), "a\xEF\xBF\xBD");
  }
}

}  // namespace
}  // namespace vantorel
