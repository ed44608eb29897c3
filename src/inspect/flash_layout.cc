// The flash address plan, computed in 64 bits so that no range wraps.
#include "inspect/flash_layout.h"

#include <algorithm>
#include <cstdio>

namespace vantorel {
namespace {

struct Range {
  std::size_t partition;
  uint64_t start;
  uint64_t end;
  uint64_t originalSize;
};

std::string PartitionText(const Range& range) {
  return "partition " + std::to_string(range.partition) + " " +
         FlashRangeText(range.start, range.end);
}

// The non-empty ranges in address order.
std::vector<Range> SortedRanges(const std::vector<FlashPlacement>& partitions) {
  std::vector<Range> ranges;
  for (std::size_t i = 0; i < partitions.size(); ++i) {
    const FlashPlacement& p = partitions[i];
    if (p.partitionSize == 0) continue;
    ranges.push_back(
        {i, p.startAddress, uint64_t{p.startAddress} + p.partitionSize, p.originalSize});
  }
  std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) {
    return a.start != b.start ? a.start < b.start : a.partition < b.partition;
  });
  return ranges;
}

// Why the sorted ranges cannot share one flash; empty when they can.
std::string RangeRefusal(const std::vector<Range>& ranges) {
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (ranges[i].end > kFlashAddressEnd) {
      return PartitionText(ranges[i]) + " runs past 4 GiB, beyond 32-bit flash addresses";
    }
    // Sorted by start, so an overlap shows between neighbours first; the
    // lower-numbered partition is named first.
    if (i > 0 && ranges[i].start < ranges[i - 1].end) {
      const auto [a, b] = std::minmax(ranges[i - 1], ranges[i],
                                      [](auto& x, auto& y) { return x.partition < y.partition; });
      return PartitionText(a) + " and " + PartitionText(b) + " overlap in flash";
    }
  }
  return {};
}

}  // namespace

std::string FlashRangeText(uint64_t start, uint64_t end) {
  char text[48];
  std::snprintf(text, sizeof text, "[0x%08llX, 0x%08llX)", static_cast<unsigned long long>(start),
                static_cast<unsigned long long>(end));
  return text;
}

FlashPlan PlanFlash(const std::vector<FlashPlacement>& partitions, const FlashWindow& window) {
  FlashPlan plan;
  const std::vector<Range> ranges = SortedRanges(partitions);
  plan.refusal = RangeRefusal(ranges);
  if (!plan.refusal.empty()) return plan;
  plan.base = window.base.value_or(ranges.empty() ? 0 : ranges.front().start);
  uint64_t highest = plan.base;
  for (const Range& r : ranges) highest = std::max(highest, r.end);
  plan.end = window.size ? plan.base + *window.size : highest;
  uint64_t cursor = plan.base;
  for (const Range& r : ranges) {
    if (r.start < plan.base || r.end > plan.end) {
      plan.refusal = PartitionText(r) + " lies outside the output range " +
                     FlashRangeText(plan.base, plan.end);
      plan.spans.clear();
      return plan;
    }
    if (r.start > cursor) plan.spans.push_back({cursor, r.start - cursor, std::nullopt});
    const uint64_t data = std::min(r.originalSize, r.end - r.start);
    if (data > 0) plan.spans.push_back({r.start, data, r.partition});
    if (r.start + data < r.end) plan.spans.push_back({r.start + data, r.end - r.start - data, {}});
    cursor = r.end;
  }
  if (cursor < plan.end) plan.spans.push_back({cursor, plan.end - cursor, std::nullopt});
  return plan;
}

}  // namespace vantorel
