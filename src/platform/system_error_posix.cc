// System error texts on Linux.
#include <cerrno>
#include <cstring>

#include "platform/system_error.h"

namespace vantorel {

std::string LastSystemErrorText() {
  const int code = errno;
  char text[256] = {};
  // The GNU strerror_r may return a static text instead of filling ours.
  const char* message = strerror_r(code, text, sizeof text);
  return message ? message : "error " + std::to_string(code);
}

}  // namespace vantorel
