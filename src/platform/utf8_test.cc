#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(Utf8, DecodesValidSequencesAndFallsBackPerInvalidByte) {
  const struct {
    std::string bytes;
    std::wstring asLatin1;
  } kCases[] = {
      {"plain", L"plain"},
      {"caf\xC3\xA9", L"caf\u00e9"},
      {"\xE2\x82\xAC", L"\u20ac"},
      {"\xF0\x9F\x98\x80", L"\U0001F600"},
      {"caf\xE9", L"caf\u00e9"},                          // Latin-1 text
      {"\xC0\xAF", L"\u00c0\u00af"},                      // overlong
      {"\xED\xA0\x80", L"\u00ed\u00a0\u0080"},            // a surrogate
      {"\xF4\x90\x80\x80", L"\u00f4\u0090\u0080\u0080"},  // above U+10FFFF
      {"\xE2\x82", L"\u00e2\u0082"},                      // cut short
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(DecodeUtf8(c.bytes, InvalidUtf8::kAsLatin1), c.asLatin1) << c.bytes;
  }
}

TEST(Utf8, EscapedBytesSurviveTheRoundTrip) {
  for (const std::string bytes : {"caf\xE9", "\xFF\xFE", "ok\xC3\xA9\x80", "\xED\xA0\x80"}) {
    const std::wstring text = DecodeUtf8(bytes, InvalidUtf8::kEscape);
    EXPECT_EQ(EncodeUtf8(text), bytes);
  }
}

TEST(Utf8, CharactersWithoutUtf8FormAreRefusedOrReplacedForDisplay) {
  const std::wstring loneSurrogate(1, static_cast<wchar_t>(0xD800));
  EXPECT_EQ(EncodeUtf8(loneSurrogate), std::nullopt);
  EXPECT_EQ(EncodeUtf8ForDisplay(L"a" + loneSurrogate + L"b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(EncodeUtf8(L"\u00e9"), "\xC3\xA9");
}

}  // namespace
}  // namespace vantorel
