// The table of cleanup entries, shared by both platforms: a fixed array of
// slots claimed with atomic operations, so that the handler can walk it
// without locks or memory allocation.
#include "platform/interrupt_cleanup.h"

#include <algorithm>

#include "platform/interrupt_cleanup_table.h"

namespace vantorel {
namespace {

CleanupSlot slots[kCleanupSlots];

int Claim(const std::string& path, const std::string& restoreTo) {
  if (path.size() >= kCleanupPathCapacity || restoreTo.size() >= kCleanupPathCapacity) return -1;
  InstallInterruptHandler();
  for (int i = 0; i < kCleanupSlots; ++i) {
    int expected = kSlotFree;
    if (!slots[i].state.compare_exchange_strong(expected, kSlotFilling)) continue;
    std::fill(std::begin(slots[i].path), std::end(slots[i].path), '\0');
    std::fill(std::begin(slots[i].restoreTo), std::end(slots[i].restoreTo), '\0');
    std::copy(path.begin(), path.end(), slots[i].path);
    std::copy(restoreTo.begin(), restoreTo.end(), slots[i].restoreTo);
    slots[i].state = kSlotActive;
    return i;
  }
  return -1;
}

}  // namespace

CleanupSlot* CleanupSlots() { return slots; }

InterruptCleanup::InterruptCleanup(const std::string& path) : slot_(Claim(path, "")) {}

InterruptCleanup::InterruptCleanup(const std::string& path, const std::string& restoreTo)
    : slot_(Claim(path, restoreTo)) {}

InterruptCleanup::~InterruptCleanup() {
  if (slot_ >= 0) slots[slot_].state = kSlotFree;
}

}  // namespace vantorel
