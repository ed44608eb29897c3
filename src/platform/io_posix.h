// What the Linux files and folders share: paths where a backslash separates
// folders too, so that configuration files written for Windows
// (Base_Directory=fw, File=app.bin) work unchanged, and whole writes.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vantorel {

inline std::string NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// Writes all `length` bytes, resuming after interruptions; false on an error.
inline bool WriteAll(int fd, const uint8_t* data, std::size_t length) {
  while (length > 0) {
    const ssize_t n = write(fd, data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace vantorel
