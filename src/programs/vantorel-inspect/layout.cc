// Flash layout warnings of an image, in the words of the report.
#include "programs/vantorel-inspect/layout.h"

#include "config/flash_layout.h"

namespace vantorel {

std::vector<LayoutWarning> CheckFlashLayout(const std::vector<PartitionReport>& partitions) {
  std::vector<FlashRange> ranges;
  for (const PartitionReport& partition : partitions) {
    ranges.push_back(RangeOf(partition.entry.startAddress, partition.entry.partitionSize));
  }
  std::vector<LayoutWarning> warnings;
  for (const LayoutFinding& finding : FindLayoutFindings(ranges)) {
    const std::size_t i = finding.first;
    if (finding.kind == LayoutFinding::Kind::kPastFlashEnd) {
      warnings.push_back({{i},
                          "past 4 GiB",
                          "partition " + std::to_string(i) +
                              " runs past 4 GiB in flash: " + RangeText(ranges[i])});
      continue;
    }
    const std::size_t j = *finding.second;
    warnings.push_back({{i, j},
                        "overlap",
                        "partitions " + std::to_string(i) + " and " + std::to_string(j) +
                            " overlap in flash: " + RangeText(ranges[i]) + " and " +
                            RangeText(ranges[j])});
  }
  return warnings;
}

}  // namespace vantorel
