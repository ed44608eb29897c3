// The storage behind InterruptCleanup, for the platforms' handlers only.
#pragma once

#include <atomic>
#include <cstddef>

namespace vantorel {

inline constexpr int kCleanupSlots = 32;
inline constexpr std::size_t kCleanupPathCapacity = 1024;

inline constexpr int kSlotFree = 0;
inline constexpr int kSlotFilling = 1;
inline constexpr int kSlotActive = 2;

struct CleanupSlot {
  std::atomic<int> state{kSlotFree};
  char path[kCleanupPathCapacity];
  char restoreTo[kCleanupPathCapacity];  // empty: remove the file
};

// The kCleanupSlots slots.
CleanupSlot* CleanupSlots();

// Installs the platform's handler once; later calls do nothing.
void InstallInterruptHandler();

}  // namespace vantorel
