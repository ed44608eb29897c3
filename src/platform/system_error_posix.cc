// Error texts on Linux.
#include <cerrno>
#include <cstring>

#include "platform/system_error.h"

namespace vantorel {

int LastSystemError() { return errno; }

void SetLastSystemError(int code) { errno = code; }

std::string SystemErrorText(int code) {
  char buffer[256] = {};
  // The GNU strerror_r, which may return a static text instead of filling
  // the buffer; thread-safe either way.
  const char* message = strerror_r(code, buffer, sizeof buffer);
  return message ? message : "error " + std::to_string(code);
}

}  // namespace vantorel
