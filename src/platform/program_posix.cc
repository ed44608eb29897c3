// The program's own facts on Linux: the version is compiled in from the
// project version, and names are UTF-8.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "app/version.h"
#include "platform/program.h"
#include "platform/utf8.h"

namespace vantorel {

std::optional<FileVersion> ReadOwnFileVersion() {
  return FileVersion{kVersionMajor, kVersionMinor, kVersionPatch};
}

std::string UsageProgramName(std::wstring_view fileName) { return EncodeUtf8ForDisplay(fileName); }

void OpenClosedStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free descriptor, which is this one.
    const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened != fd && opened >= 0) close(opened);
  }
}

}  // namespace vantorel
