// Error texts on Windows, in English whatever the system's language, so
// that the two builds' messages read alike.
#include <windows.h>

#include "platform/system_error.h"

namespace vantorel {

int LastSystemError() { return static_cast<int>(GetLastError()); }

void SetLastSystemError(int code) { SetLastError(static_cast<DWORD>(code)); }

std::string SystemErrorText(int code) {
  char text[512] = {};
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(code),
      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text, nullptr);
  std::string message(text, length);
  // The system's texts end in a full stop and a line end.
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == '.' || message.back() == ' ')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace vantorel
