// Standard output on Windows. Every line, narrow or wide, becomes wide text:
// a console receives it as such, and a file or pipe receives UTF-8, so that
// no character can silence later lines and build pipelines read the same
// bytes from both builds. Narrow text is Latin-1, the narrowing's own form.
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/console.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "platform/windows_text.h"

namespace vantorel {

namespace {

// The first failed write to standard output, with the system's text.
std::optional<std::string> outputFailure;

void Note(bool ok, const std::string& reason) {
  if (!ok && !outputFailure) outputFailure = reason;
}

void Flush() {
  const bool flushed = std::fflush(stdout) == 0;
  Note(flushed, flushed ? "" : std::strerror(errno));
}

bool StandardOutputIsConsole() {
  static const bool console = [] {
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
  }();
  return console;
}

void Write(std::wstring_view text) {
  ClearStatusLine();
  if (StandardOutputIsConsole()) {
    Flush();
    DWORD written;
    const bool ok = WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), text.data(),
                                  static_cast<DWORD>(text.size()), &written, nullptr) != 0;
    Note(ok, ok ? "" : LastSystemErrorText());
    return;
  }
  const std::string bytes = Utf8ForDisplay(text);
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
  Note(ok, ok ? "" : std::strerror(errno));
}

}  // namespace

void WriteText(std::string_view text) { Write(WidenLatin1(text)); }

std::optional<std::string> StandardOutputFailure() {
  Flush();
  return outputFailure;
}

bool StandardErrorIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void WriteStandardError(std::string_view text) {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD written;
  if (StandardErrorIsTerminal()) {
    const std::wstring wide = WideFromUtf8(text);
    WriteConsoleW(error, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

void WriteWideText(std::wstring_view text) { Write(text); }

void WriteUtf8Text(std::string_view text) {
  Write(WideFromUtf8(text));
  Flush();
}

void WriteLine(std::string_view text) {
  WriteText(text);
  WriteText("\n");
  Flush();
}

void WriteWideLine(std::wstring_view text) {
  WriteWideText(text);
  WriteText("\n");
  Flush();
}

namespace {

// The console input's modes before the pause; the command interpreter's
// PAUSE changes them while it waits for the key.
HANDLE pausedInput = INVALID_HANDLE_VALUE;
DWORD savedInputMode = 0;
std::atomic<bool> inputModeSaved{false};

// Ctrl-C, Ctrl-Break or a closed console during the pause: the modes come
// back before the default handling ends the process.
BOOL WINAPI RestoreInputMode(DWORD) {
  if (inputModeSaved) SetConsoleMode(pausedInput, savedInputMode);
  return FALSE;
}

}  // namespace

void PauseAfterFailure() {
  std::fflush(stdout);
  pausedInput = GetStdHandle(STD_INPUT_HANDLE);
  inputModeSaved = GetConsoleMode(pausedInput, &savedInputMode) != 0;
  SetConsoleCtrlHandler(RestoreInputMode, TRUE);
  [[maybe_unused]] const int ignored = std::system("PAUSE");
  SetConsoleCtrlHandler(RestoreInputMode, FALSE);
  RestoreInputMode(CTRL_C_EVENT);
  inputModeSaved = false;
}

}  // namespace vantorel
