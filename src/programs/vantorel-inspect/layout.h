// The flash layout an image asks for: warnings when two partitions' ranges
// [startAddress, startAddress + partitionSize) overlap, and when a range runs
// past 4 GiB. Empty ranges overlap nothing.
#pragma once

#include <string>
#include <vector>

#include "image/image_reader.h"

namespace vantorel {

struct LayoutWarning {
  std::vector<std::size_t> partitions;  // the one or two partitions concerned
  std::string kind;                     // "overlap" or "past 4 GiB"
  std::string text;                     // one line for people
};

// The warnings for the partitions of an image, in partition order.
std::vector<LayoutWarning> CheckFlashLayout(const std::vector<PartitionReport>& partitions);

}  // namespace vantorel
