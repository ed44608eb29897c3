// The packing rules over a list and what its files' openings found.
#include "config/packing_rules.h"

#include "config/image_limits.h"
#include "config/packing_failures.h"

namespace vantorel {
namespace {

// `offset`: where the partition's region begins at the least; moved past
// the least the region and its digest take.
Outcome CheckPartition(const PartitionSpec& partition, const PartitionFileFacts& file,
                       uint64_t& offset) {
  if (!file.opened) return InputOpenFailure(partition.path, file.openError);
  const bool compressed = partition.isCompressed == 1;
  if (compressed && file.size && *file.size > kMaxCompressedFileSize) {
    return TooLargeToCompress(partition.path, file.size);
  }
  const uint64_t least = compressed ? kLzmaPartitionHeaderSize : file.size.value_or(0);
  if (offset + least + kSha1DigestSize > kMaxImageSize) {
    return ImageTooLarge(partition.path, compressed ? std::nullopt : file.size);
  }
  if (file.size && *file.size > partition.partitionSize) {
    return PartitionTooSmall(partition.path, file.size, partition.partitionSize);
  }
  offset += least + kSha1DigestSize;
  return {};
}

}  // namespace

PartitionFileFacts FactsOf(const InputFile& file) {
  if (!file.IsOpen()) return {.opened = false, .openError = file.OpenError()};
  return {.opened = true, .size = file.Size()};
}

Outcome CheckPackingRules(const PartitionList& list, const PartitionFileOpener& openFile) {
  if (list.size() > kMaxPartitions) return TooManyPartitions(list.size());
  uint64_t offset = kFirstDataOffset;
  for (std::size_t index = 0; index < list.size(); ++index) {
    Outcome outcome = CheckPartition(list[index], openFile(index), offset);
    if (!outcome.ok()) {
      outcome.failure().where.partition = index;
      return outcome;
    }
  }
  return {};
}

}  // namespace vantorel
