// Cleanup on SIGINT, SIGTERM and SIGHUP on Linux. A signal that the run
// inherited as ignored (nohup) stays ignored. After the cleanup the signal is
// delivered again with its default action, so that the caller sees the run
// die of it as it would have without us.
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <mutex>

#include "platform/interrupt_cleanup_table.h"

namespace vantorel {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Files are removed first, then the files moved aside are moved back, so
// that a file put in place never outlives the one it replaced; folders go
// last, once the files in them are gone.
void UndoEntries(int signal) {
  CleanupSlot* slots = CleanupSlots();
  for (int i = 0; i < kCleanupSlots; ++i) {
    if (slots[i].state.load() == kSlotActive && slots[i].restoreTo[0] == '\0') {
      unlink(slots[i].path);
    }
  }
  for (int i = 0; i < kCleanupSlots; ++i) {
    if (slots[i].state.load() == kSlotActive && slots[i].restoreTo[0] != '\0') {
      rename(slots[i].path, slots[i].restoreTo);
    }
  }
  for (int i = 0; i < kCleanupSlots; ++i) {
    if (slots[i].state.load() == kSlotActive && slots[i].restoreTo[0] == '\0') {
      rmdir(slots[i].path);
    }
  }
  raise(signal);
}

}  // namespace

void InstallInterruptHandler() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    for (const int signal : kSignals) {
      struct sigaction current {};
      if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
      struct sigaction action {};
      action.sa_handler = UndoEntries;
      action.sa_flags = static_cast<int>(SA_RESETHAND);
      sigfillset(&action.sa_mask);
      sigaction(signal, &action, nullptr);
    }
  });
}

}  // namespace vantorel
