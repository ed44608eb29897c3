// Cleanup on Ctrl-C, Ctrl-Break and a closed console on Windows. The handler
// runs on a thread of its own; returning FALSE lets the default handler end
// the process afterwards.
#include <windows.h>

#include <mutex>

#include "platform/interrupt_cleanup_table.h"

namespace vantorel {
namespace {

// Narrow paths hold one byte per character (Latin-1), so each byte widens to
// the same character without allocating.
void Widen(const char* narrow, wchar_t* wide) {
  std::size_t i = 0;
  for (; narrow[i] != '\0'; ++i) wide[i] = static_cast<unsigned char>(narrow[i]);
  wide[i] = L'\0';
}

// Files are removed first, then the files moved aside are moved back, so
// that a file put in place never outlives the one it replaced; folders go
// last, once the files in them are gone.
BOOL WINAPI UndoEntries(DWORD) {
  static wchar_t path[kCleanupPathCapacity];
  static wchar_t restoreTo[kCleanupPathCapacity];
  CleanupSlot* slots = CleanupSlots();
  for (int i = 0; i < kCleanupSlots; ++i) {
    if (slots[i].state.load() != kSlotActive || slots[i].restoreTo[0] != '\0') continue;
    Widen(slots[i].path, path);
    DeleteFileW(path);
  }
  for (int i = 0; i < kCleanupSlots; ++i) {
    if (slots[i].state.load() != kSlotActive || slots[i].restoreTo[0] == '\0') continue;
    Widen(slots[i].path, path);
    Widen(slots[i].restoreTo, restoreTo);
    MoveFileExW(path, restoreTo, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  for (int i = 0; i < kCleanupSlots; ++i) {
    if (slots[i].state.load() != kSlotActive || slots[i].restoreTo[0] != '\0') continue;
    Widen(slots[i].path, path);
    RemoveDirectoryW(path);
  }
  return FALSE;
}

}  // namespace

void InstallInterruptHandler() {
  static std::once_flag installed;
  std::call_once(installed, [] { SetConsoleCtrlHandler(UndoEntries, TRUE); });
}

}  // namespace vantorel
