// What the program knows of itself: its version numbers and the form of its
// name in the usage text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

struct FileVersion {
  uint16_t major;
  uint16_t minor;
  uint16_t build;
};

// The running executable's file version; nullopt when it carries none.
std::optional<FileVersion> ReadOwnFileVersion();

// The program's name as the usage text prints it: the part of the program
// path after its last backslash (a forward slash does not count; a path
// without a backslash is taken whole), in the platform's narrow form.
std::string UsageProgramName(std::wstring_view programPath);

// Opens the null device on each of standard input, output and error that is
// closed, so that no file the program opens can take its place and receive
// what is printed. Nothing to do on Windows.
void OpenClosedStandardStreams();

// The part of the path after its last backslash; the whole path without one.
inline std::wstring_view FileNameOf(std::wstring_view path) {
  const std::size_t slash = path.rfind(L'\\');
  return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

}  // namespace vantorel
