// Standard output, which carries the described lines and the reports, and
// the pause after a failed run. Narrow text is written as it is; wide text
// is converted the platform's way. Lines are written and flushed in program
// order.
//
// Standard error carries the reasons and warnings (written by each
// program's message place) and a status line for people watching a long
// run at a terminal, updated in place and erased before anything else is
// written.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

// Writes the text and a line end, then flushes.
void WriteLine(std::string_view text);
void WriteWideLine(std::wstring_view text);
// Writes the text as it is, without a flush.
void WriteText(std::string_view text);
void WriteWideText(std::wstring_view text);
// Writes UTF-8 text, as the platform writes wide text, and flushes.
void WriteUtf8Text(std::string_view text);

// Flushes standard output and tells whether everything written to it so far
// arrived: nullopt when it did, else the system's text for the first write
// that failed. A failure is kept: later writes cannot make it good.
std::optional<std::string> StandardOutputFailure();

// True when standard error is a terminal (a console on Windows).
bool StandardErrorIsTerminal();
// Shows `text` (ASCII) as the status line on standard error, in place of
// the one shown before. Safe from any thread.
void ShowStatusLine(std::string_view text);
// Erases the status line, if one is shown. Every write to standard output
// does this first. Safe from any thread.
void ClearStatusLine();

class StatusDisplay;
// The status line on standard error when it is a terminal; null elsewhere.
StatusDisplay* TerminalStatusDisplay();
// Writes UTF-8 text to standard error, unbuffered.
void WriteStandardError(std::string_view text);

// Lets the user read the messages before a console window closes: on
// Windows "PAUSE" for the command interpreter, with the console's modes
// restored when the pause is interrupted; on Linux nothing.
void PauseAfterFailure();

}  // namespace vantorel
