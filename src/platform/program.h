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

// The program's file name as the usage text prints it.
std::string UsageProgramName(std::wstring_view fileName);

// Opens the null device on each of standard input, output and error that is
// closed, so that no file the program opens can take its place and receive
// what is printed. Nothing to do on Windows.
void OpenClosedStandardStreams();

}  // namespace vantorel
