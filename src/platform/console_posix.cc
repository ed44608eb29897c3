// Standard output on Linux. The wide stream is never touched: wide text is
// converted to UTF-8 and written through the same narrow stdout as the rest,
// so a character the locale cannot convert never silences later lines.
#include <termios.h>
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

namespace {

// Shows the prompt and reads one key without waiting for a line end. The
// terminal stops echoing before the prompt shows, so that a key pressed at
// once is not echoed either; it is restored after.
void PromptForOneKey(std::string_view prompt) {
  termios saved;
  const bool known = tcgetattr(STDIN_FILENO, &saved) == 0;
  termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  const bool silenced = known && tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  WriteText(prompt);
  std::fflush(stdout);
  if (!silenced) return;
  char key;
  [[maybe_unused]] const ssize_t ignored = read(STDIN_FILENO, &key, 1);
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

}  // namespace

// Only an interactive user is asked to press a key; scripts and CI never wait.
void PauseAfterFailure() {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return;
  PromptForOneKey("Press any key to continue . . . ");
  WriteLine("");
}

}  // namespace vantorel
