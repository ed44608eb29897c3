// The status line on standard error, the same on every platform: written
// over with a carriage return and blanks, so that it needs no terminal
// control sequences and works on a Windows console too.
#include "platform/console.h"

#include <mutex>
#include <string>

#include "platform/status_display.h"

namespace vantorel {
namespace {

std::mutex& StatusMutex() {
  static std::mutex mutex;
  return mutex;
}

std::size_t shownLength = 0;  // of the status line on screen; guarded by StatusMutex

}  // namespace

void ShowStatusLine(std::string_view text) {
  std::lock_guard lock(StatusMutex());
  std::string line(1, '\r');
  line.append(text);
  if (text.size() < shownLength) line.append(shownLength - text.size(), ' ');
  WriteStandardError(line);
  shownLength = text.size();
}

void ClearStatusLine() {
  std::lock_guard lock(StatusMutex());
  if (shownLength == 0) return;
  std::string blank(1, '\r');
  blank.append(shownLength, ' ');
  blank += '\r';
  WriteStandardError(blank);
  shownLength = 0;
}

namespace {

class TerminalStatus final : public StatusDisplay {
 public:
  void Show(const std::string& line) override { ShowStatusLine(line); }
  void Clear() override { ClearStatusLine(); }
};

}  // namespace

StatusDisplay* TerminalStatusDisplay() {
  static TerminalStatus terminal;
  return StandardErrorIsTerminal() ? &terminal : nullptr;
}

}  // namespace vantorel
