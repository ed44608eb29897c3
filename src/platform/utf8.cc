// The UTF-8 codec of the Linux build: strict validation (no overlong forms,
// surrogates or values above U+10FFFF), Latin-1 fallback and byte escapes.
#include "platform/utf8.h"

namespace vantorel {
namespace {

constexpr char32_t kEscapeBase = 0xDC00;
constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the valid sequence at the start of `bytes`, or 0 when its first
// byte does not begin one (overlong forms, surrogates and values above
// U+10FFFF are not valid).
std::size_t ValidSequenceLength(std::string_view bytes) {
  const auto b0 = static_cast<unsigned char>(bytes[0]);
  if (b0 < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  const auto b1 = static_cast<unsigned char>(bytes[1]);
  if (b1 < low || b1 > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(bytes[i]))) return 0;
  }
  return length;
}

char32_t DecodeSequence(std::string_view bytes, std::size_t length) {
  static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t value = static_cast<unsigned char>(bytes[0]) & kLeadMask[length];
  for (std::size_t i = 1; i < length; ++i) {
    value = (value << 6) | (static_cast<unsigned char>(bytes[i]) & 0x3F);
  }
  return value;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsEscapedByte(char32_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }
bool IsEncodable(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Appends the bytes of `c`; false when it has none.
bool AppendCharacter(std::string& out, char32_t c) {
  if (IsEscapedByte(c)) {
    out += static_cast<char>(c - kEscapeBase);
    return true;
  }
  if (!IsEncodable(c)) return false;
  AppendUtf8(out, c);
  return true;
}

}  // namespace

std::wstring DecodeUtf8(std::string_view bytes, InvalidUtf8 invalid) {
  std::wstring text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t length = ValidSequenceLength(bytes);
    if (length == 0) {
      const auto byte = static_cast<unsigned char>(bytes[0]);
      text += static_cast<wchar_t>(invalid == InvalidUtf8::kAsLatin1 ? byte : kEscapeBase + byte);
      bytes.remove_prefix(1);
    } else {
      text += static_cast<wchar_t>(DecodeSequence(bytes, length));
      bytes.remove_prefix(length);
    }
  }
  return text;
}

std::optional<std::string> EncodeUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (!AppendCharacter(out, static_cast<char32_t>(c))) return std::nullopt;
  }
  return out;
}

std::string EncodeUtf8ForDisplay(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (!AppendCharacter(out, static_cast<char32_t>(c))) AppendUtf8(out, kReplacement);
  }
  return out;
}

std::string ReplaceInvalidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t length = ValidSequenceLength(bytes);
    if (length == 0) {
      AppendUtf8(out, kReplacement);
      bytes.remove_prefix(1);
    } else {
      out.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return out;
}

}  // namespace vantorel
