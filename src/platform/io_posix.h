// What the Linux files and folders share: paths where a backslash separates
// folders too, so that configuration files written for Windows
// (Base_Directory=fw, File=app.bin) work unchanged, descriptors kept in the
// intptr_t of the portable headers, identities, and whole writes.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"

namespace vantorel {

// The handle of no open file.
inline constexpr intptr_t kClosed = -1;

inline int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

inline FileIdentity IdentityOf(const struct stat& info) {
  return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

inline std::string NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// The folder that holds `path` (a native path): "." for a bare name.
inline std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
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
