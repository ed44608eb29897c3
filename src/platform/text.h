// Narrowing of wide text to the platform's 8-bit form: UTF-8 on Linux, one
// byte per character from U+0000 to U+00FF on Windows; and the way back for
// display.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

// A narrowed path holds at most this many bytes (and a terminating zero).
inline constexpr std::size_t kMaxNarrowPathBytes = 255;

// nullopt when a character has no narrow form on this platform.
std::optional<std::string> NarrowText(std::wstring_view text);

enum class PathNarrowing { kNarrowed, kUnusableCharacter, kTooLong };

struct NarrowedPath {
  PathNarrowing narrowing = PathNarrowing::kNarrowed;
  std::string path;  // the narrow path when kNarrowed, otherwise empty
};

// The narrow form of a path, refused when a character has none or when it
// is longer than kMaxNarrowPathBytes. Prints nothing.
NarrowedPath NarrowPath(std::wstring_view path);

// Wide text as UTF-8, for display and for output that must be UTF-8. On
// Linux the escaped bytes of an argument go back to the bytes they were; what
// has no UTF-8 form becomes U+FFFD.
std::string Utf8ForDisplay(std::wstring_view text);

// UTF-8 as wide text. Bytes that are not UTF-8 become Latin-1 characters on
// Linux and U+FFFD on Windows.
std::wstring WideFromUtf8(std::string_view bytes);

// Why a path was refused, to follow "<what> path " in a message, ending in
// ": " before the path itself.
std::wstring NarrowingFailureText(PathNarrowing narrowing);

}  // namespace vantorel
