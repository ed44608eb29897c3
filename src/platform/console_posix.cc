// Standard output on Linux. The wide stream is never touched: wide text is
// converted to UTF-8 and written through the same narrow stdout as the rest,
// so a character the locale cannot convert never silences later lines.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/console.h"
#include "platform/io_posix.h"
#include "platform/utf8.h"

namespace vantorel {

namespace {

// The first failed write to standard output, with the system's text. Only
// the main thread writes standard output.
std::optional<std::string> outputFailure;

// Keeps the first failure of a write or flush that just returned `ok`.
void Note(bool ok) {
  if (!ok && !outputFailure) outputFailure = std::strerror(errno);
}

void Flush() { Note(std::fflush(stdout) == 0); }

}  // namespace

void WriteText(std::string_view text) {
  ClearStatusLine();
  Note(std::fwrite(text.data(), 1, text.size(), stdout) == text.size());
}

std::optional<std::string> StandardOutputFailure() {
  Flush();
  return outputFailure;
}

void WriteWideText(std::wstring_view text) { WriteText(EncodeUtf8ForDisplay(text)); }

void WriteUtf8Text(std::string_view text) {
  WriteText(text);
  Flush();
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void WriteStandardError(std::string_view text) {
  [[maybe_unused]] const bool written =
      WriteAll(STDERR_FILENO, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void WriteLine(std::string_view text) {
  WriteText(text);
  Note(std::fputc('\n', stdout) != EOF);
  Flush();
}

void WriteWideLine(std::wstring_view text) { WriteLine(EncodeUtf8ForDisplay(text)); }

// The pause exists for a console window that closes when the program ends.
// Linux has none: a terminal stays, its command interpreter has no PAUSE,
// and under a pseudo-terminal in CI nobody would ever press a key.
void PauseAfterFailure() {}

}  // namespace vantorel
