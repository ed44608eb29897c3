// Narrowing on Windows: each character from U+0000 to U+00FF becomes the
// byte of the same value; any other character has no narrow form.
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

}  // namespace vantorel
