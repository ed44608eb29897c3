// The packing rules: every limit of an image that the partitions and their
// files must keep, checked in one place before an image is begun. The packer refuses
// what they refuse before it opens its output, and vantorel-inspect gives
// their verdict on a configuration, so that both say the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "common/diagnostic.h"
#include "config/partition_spec.h"
#include "platform/files.h"

namespace vantorel {

// What the rules know of one partition file, from opening it.
struct PartitionFileFacts {
  bool opened = false;
  int openError = 0;  // the system's error code when it did not open
  // The size of a regular file; none for a pipe or a device, whose end only
  // reading finds (the writer checks those as it reads).
  std::optional<uint64_t> size;
};

PartitionFileFacts FactsOf(const InputFile& file);

// Opens the file of partition `index`, or looks at it, and says what it found.
using PartitionFileOpener = std::function<PartitionFileFacts(std::size_t index)>;

// The first rule the partitions of `list` break, in the order an image is
// written, so that the failure is the one the writer would have met first:
// at most kMaxPartitions partitions; then per partition, in list order, its
// file opened, a compressed file below 2 GiB, the image so far below 4 GiB
// (a compressed region counts as its header: its streams' size is known
// only once encoded) and the file no larger than its Partition_Size. A
// failure names its partition by index (Where::partition). `openFile` is
// called once per partition, in order, and not after a failure nor when
// there are too many partitions.
Outcome CheckPackingRules(const PartitionList& list, const PartitionFileOpener& openFile);

}  // namespace vantorel
