// Flash layout warnings, computed in 64 bits so that no range wraps.
#include "inspect/layout.h"

#include <cstdio>

namespace vantorel {
namespace {

constexpr uint64_t kFlashEnd = uint64_t{1} << 32;

struct FlashRange {
  uint64_t start;
  uint64_t end;  // one past the last byte
};

FlashRange RangeOf(const PartitionEntry& entry) {
  return {entry.startAddress, uint64_t{entry.startAddress} + entry.partitionSize};
}

std::string Describe(FlashRange range) {
  char text[48];
  std::snprintf(text, sizeof text, "[0x%08llX, 0x%08llX)",
                static_cast<unsigned long long>(range.start),
                static_cast<unsigned long long>(range.end));
  return text;
}

bool Overlap(FlashRange a, FlashRange b) {
  return a.start < a.end && b.start < b.end && a.start < b.end && b.start < a.end;
}

}  // namespace

std::vector<LayoutWarning> CheckFlashLayout(const std::vector<PartitionReport>& partitions) {
  std::vector<LayoutWarning> warnings;
  for (std::size_t i = 0; i < partitions.size(); ++i) {
    const FlashRange range = RangeOf(partitions[i].entry);
    if (range.end > kFlashEnd) {
      warnings.push_back(
          {{i},
           "past 4 GiB",
           "partition " + std::to_string(i) + " runs past 4 GiB in flash: " + Describe(range)});
    }
    for (std::size_t j = i + 1; j < partitions.size(); ++j) {
      const FlashRange other = RangeOf(partitions[j].entry);
      if (!Overlap(range, other)) continue;
      warnings.push_back({{i, j},
                          "overlap",
                          "partitions " + std::to_string(i) + " and " + std::to_string(j) +
                              " overlap in flash: " + Describe(range) + " and " + Describe(other)});
    }
  }
  return warnings;
}

}  // namespace vantorel
