// Conversions the Windows side of the platform layer shares.
#include "platform/windows_text.h"

namespace vantorel {

std::wstring WidenLatin1(std::string_view narrow) {
  std::wstring wide;
  wide.reserve(narrow.size());
  for (char c : narrow) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return wide;
}

}  // namespace vantorel
