// UTF-8 in and out for the test probes, on either platform.
#pragma once

#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/utf8.h"
#endif

namespace vantorel::probe {

inline std::wstring FromUtf8(std::string_view bytes) {
#ifdef _WIN32
  if (bytes.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
  return text;
#else
  return DecodeUtf8(bytes, InvalidUtf8::kAsLatin1);
#endif
}

inline std::string ToUtf8(std::wstring_view text) {
#ifdef _WIN32
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                      nullptr, nullptr);
  return bytes;
#else
  return EncodeUtf8ForDisplay(text);
#endif
}

}  // namespace vantorel::probe
