// One partition to pack, as read from the configuration, and the ordered
// list of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantorel {

struct PartitionSpec {
  std::string path;  // narrow, at most 255 bytes
  uint32_t startAddress = 0;
  uint32_t partitionSize = 0;
  int32_t isCompressed = 0;  // 0 or 1

  bool operator==(const PartitionSpec&) const = default;
};

using PartitionList = std::vector<PartitionSpec>;

}  // namespace vantorel
