// UTF-8 for the Linux build, where wchar_t holds one code point. Bytes that
// are not UTF-8 either become Latin-1 characters (configuration files) or are
// escaped as U+DC80..U+DCFF so that they survive the way back unchanged
// (arguments and the paths made from them).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

enum class InvalidUtf8 { kAsLatin1, kEscape };

std::wstring DecodeUtf8(std::string_view bytes, InvalidUtf8 invalid);

// Escaped bytes go back to the bytes they came from; nullopt for any other
// character UTF-8 cannot carry (a lone surrogate, a value above U+10FFFF).
std::optional<std::string> EncodeUtf8(std::wstring_view text);

// As EncodeUtf8, with U+FFFD in place of what cannot be encoded: for display.
std::string EncodeUtf8ForDisplay(std::wstring_view text);

// The bytes as valid UTF-8: each byte that does not belong to a valid
// sequence becomes U+FFFD. For text that must be UTF-8, such as JSON.
std::string ReplaceInvalidUtf8(std::string_view bytes);

}  // namespace vantorel
