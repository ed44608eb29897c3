// The flash ranges partitions ask for, [Start_Address, Start_Address +
// Partition_Size), computed in 64 bits so that no range wraps: which overlap
// and which run past 4 GiB. Empty ranges overlap nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantorel {

inline constexpr uint64_t kFlashEnd = uint64_t{1} << 32;

struct FlashRange {
  uint64_t start = 0;
  uint64_t end = 0;  // one past the last byte
};

FlashRange RangeOf(uint32_t startAddress, uint32_t partitionSize);

// "[0x00010000, 0x00090000)"
std::string RangeText(FlashRange range);

struct LayoutFinding {
  enum class Kind { kPastFlashEnd, kOverlap } kind;
  std::size_t first = 0;
  std::optional<std::size_t> second;  // the other partition of an overlap
};

// In partition order: for each range, whether it runs past 4 GiB, then its
// overlaps with the ranges after it.
std::vector<LayoutFinding> FindLayoutFindings(const std::vector<FlashRange>& ranges);

}  // namespace vantorel
