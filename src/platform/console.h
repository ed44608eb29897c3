// Standard output, the one place every message goes, and the pause after a
// failed run. Narrow text is written as it is; wide text is converted the
// platform's way. Lines are written and flushed in program order.
#pragma once

#include <string_view>

namespace vantorel {

// Writes the text and a line end, then flushes.
void WriteLine(std::string_view text);
void WriteWideLine(std::wstring_view text);
// Writes the text as it is, without a flush.
void WriteText(std::string_view text);
void WriteWideText(std::wstring_view text);

// Lets the user read the messages before a console window closes.
void PauseAfterFailure();

}  // namespace vantorel
