// Standard output on Linux. The wide stream is never touched: wide text is
// converted to UTF-8 and written through the same narrow stdout as the rest,
// so a character the locale cannot convert never silences later lines.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/console.h"
#include "platform/io_posix.h"
#include "platform/utf8.h"

namespace vantorel {

void WriteText(std::string_view text) {
  ClearStatusLine();
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void WriteWideText(std::wstring_view text) { WriteText(EncodeUtf8ForDisplay(text)); }

void WriteUtf8Text(std::string_view text) {
  WriteText(text);
  std::fflush(stdout);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void WriteStandardError(std::string_view text) {
  [[maybe_unused]] const bool written =
      WriteAll(STDERR_FILENO, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void WriteLine(std::string_view text) {
  WriteText(text);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void WriteWideLine(std::wstring_view text) { WriteLine(EncodeUtf8ForDisplay(text)); }

// The pause exists for a console window that closes when the program ends.
// Linux has none: a terminal stays, its command interpreter has no PAUSE,
// and under a pseudo-terminal in CI nobody would ever press a key.
void PauseAfterFailure() {}

}  // namespace vantorel
