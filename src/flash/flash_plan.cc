// The flash address plan, computed in 64 bits so that no range wraps.
#include "flash/flash_plan.h"

#include <algorithm>

namespace vantorel {
namespace {

struct Range {
  std::size_t partition;
  FlashRange flash;
  uint64_t originalSize;
};

std::string PartitionText(std::size_t index, FlashRange range) {
  return "partition " + std::to_string(index) + " " + RangeText(range);
}

// Why the partitions cannot share one flash (the first layout finding, in
// partition order); empty when they can.
std::string LayoutRefusal(const std::vector<FlashPlacement>& partitions) {
  std::vector<FlashRange> ranges;
  for (const FlashPlacement& p : partitions)
    ranges.push_back(RangeOf(p.startAddress, p.partitionSize));
  const std::vector<LayoutFinding> findings = FindLayoutFindings(ranges);
  if (findings.empty()) return {};
  const LayoutFinding& first = findings.front();
  const std::string text = PartitionText(first.first, ranges[first.first]);
  if (first.kind == LayoutFinding::Kind::kPastFlashEnd) {
    return text + " runs past 4 GiB, beyond 32-bit flash addresses";
  }
  return text + " and " + PartitionText(*first.second, ranges[*first.second]) + " overlap in flash";
}

// The non-empty ranges in address order.
std::vector<Range> SortedRanges(const std::vector<FlashPlacement>& partitions) {
  std::vector<Range> ranges;
  for (std::size_t i = 0; i < partitions.size(); ++i) {
    const FlashPlacement& p = partitions[i];
    if (p.partitionSize == 0) continue;
    ranges.push_back({i, RangeOf(p.startAddress, p.partitionSize), p.originalSize});
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.flash.start < b.flash.start; });
  return ranges;
}

}  // namespace

FlashPlan PlanFlash(const std::vector<FlashPlacement>& partitions, const FlashWindow& window) {
  FlashPlan plan;
  plan.refusal = LayoutRefusal(partitions);
  if (!plan.refusal.empty()) return plan;
  const std::vector<Range> ranges = SortedRanges(partitions);
  plan.base = window.base.value_or(ranges.empty() ? 0 : ranges.front().flash.start);
  uint64_t highest = plan.base;
  for (const Range& r : ranges) highest = std::max(highest, r.flash.end);
  plan.end = window.size ? plan.base + *window.size : highest;
  uint64_t cursor = plan.base;
  for (const Range& range : ranges) {
    const auto [start, end] = range.flash;
    if (start < plan.base || end > plan.end) {
      plan.refusal = PartitionText(range.partition, range.flash) +
                     " lies outside the output range " + RangeText({plan.base, plan.end});
      plan.spans.clear();
      return plan;
    }
    if (start > cursor) plan.spans.push_back({cursor, start - cursor, std::nullopt});
    const uint64_t data = std::min(range.originalSize, end - start);
    if (data > 0) plan.spans.push_back({start, data, range.partition});
    if (start + data < end) plan.spans.push_back({start + data, end - start - data, std::nullopt});
    cursor = end;
  }
  if (cursor < plan.end) plan.spans.push_back({cursor, plan.end - cursor, std::nullopt});
  return plan;
}

}  // namespace vantorel
