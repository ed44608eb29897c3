// Extraction limited to the partitions named.
#include "programs/vantorel-inspect/partition_selection.h"

namespace vantorel {
namespace {

class DroppingSink : public ByteSink {
 public:
  bool Write(const uint8_t*, std::size_t) override { return true; }
};

}  // namespace

std::vector<std::size_t> ExtractedPartitions(const InspectCommand& command,
                                             const ImageReport& report) {
  std::vector<std::size_t> indices;
  for (std::size_t i = 0; i < report.partitionCount; ++i) {
    if (command.partitions.empty() || command.partitions.contains(i)) indices.push_back(i);
  }
  return indices;
}

std::optional<std::size_t> MissingPartition(const std::set<std::size_t>& named,
                                            const ImageReport& report) {
  for (const std::size_t index : named) {
    if (index >= report.partitionCount) return index;
  }
  return std::nullopt;
}

std::unique_ptr<ByteSink> SelectedPartitionsSink::Begin(std::size_t index) {
  if (named_.empty() || named_.contains(index)) return inner_.Begin(index);
  return std::make_unique<DroppingSink>();
}

void SelectedPartitionsSink::Accept(std::size_t index) {
  if (named_.empty() || named_.contains(index)) inner_.Accept(index);
}

}  // namespace vantorel
