// Flash ranges and what is wrong with them.
#include "config/flash_layout.h"

#include "common/hex.h"

namespace vantorel {
namespace {

bool Overlap(FlashRange a, FlashRange b) {
  return a.start < a.end && b.start < b.end && a.start < b.end && b.start < a.end;
}

}  // namespace

FlashRange RangeOf(uint32_t startAddress, uint32_t partitionSize) {
  return {startAddress, uint64_t{startAddress} + partitionSize};
}

std::string RangeText(FlashRange range) {
  return "[" + HexWord(range.start) + ", " + HexWord(range.end) + ")";
}

std::vector<LayoutFinding> FindLayoutFindings(const std::vector<FlashRange>& ranges) {
  std::vector<LayoutFinding> findings;
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (ranges[i].end > kFlashEnd) {
      findings.push_back({LayoutFinding::Kind::kPastFlashEnd, i, std::nullopt});
    }
    for (std::size_t j = i + 1; j < ranges.size(); ++j) {
      if (Overlap(ranges[i], ranges[j])) findings.push_back({LayoutFinding::Kind::kOverlap, i, j});
    }
  }
  return findings;
}

}  // namespace vantorel
