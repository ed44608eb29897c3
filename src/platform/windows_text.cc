// Latin-1 widening, which the Windows files and console share.
#include "platform/windows_text.h"

namespace vantorel {

std::wstring WidenLatin1(std::string_view narrow) {
  std::wstring wide;
  wide.reserve(narrow.size());
  for (char c : narrow) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return wide;
}

}  // namespace vantorel
