// Conversions the Windows side of the platform layer shares.
#pragma once

#include <string>
#include <string_view>

namespace vantorel {

// The inverse of narrowing: each byte becomes the character of its value.
std::wstring WidenLatin1(std::string_view narrow);

}  // namespace vantorel
