// Narrowing on Windows: each character from U+0000 to U+00FF becomes the
// byte of the same value; any other character has no narrow form.
#include <windows.h>

#include "platform/text.h"

namespace vantorel {

std::optional<std::string> NarrowText(std::wstring_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (wchar_t c : text) {
    if (static_cast<unsigned>(c) > 0xFF) return std::nullopt;
    narrow += static_cast<char>(c);
  }
  return narrow;
}

std::string Utf8ForDisplay(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length,
                      nullptr, nullptr);
  return bytes;
}

std::wstring WideFromUtf8(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                      length);
  return text;
}

}  // namespace vantorel
