// Narrowing of wide text to the platform's 8-bit form: UTF-8 on Linux, one
// byte per character from U+0000 to U+00FF on Windows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

// nullopt when a character has no narrow form on this platform.
std::optional<std::string> NarrowText(std::wstring_view text);

}  // namespace vantorel
