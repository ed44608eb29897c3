// Latin-1 widening, which the Windows files and console share: a narrow
// path holds one byte per character there.
#pragma once

#include <string>
#include <string_view>

namespace vantorel {

// The inverse of narrowing: each byte becomes the character of its value.
std::wstring WidenLatin1(std::string_view narrow);

}  // namespace vantorel
