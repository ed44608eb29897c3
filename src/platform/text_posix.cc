// Narrowing on Linux: file names are UTF-8.
#include "platform/text.h"
#include "platform/utf8.h"

namespace vantorel {

std::optional<std::string> NarrowText(std::wstring_view text) { return EncodeUtf8(text); }

std::string Utf8ForDisplay(std::wstring_view text) { return EncodeUtf8ForDisplay(text); }

std::wstring WideFromUtf8(std::string_view bytes) {
  return DecodeUtf8(bytes, InvalidUtf8::kAsLatin1);
}

}  // namespace vantorel
