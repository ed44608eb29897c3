// Whether an image is exactly what a configuration and its files make: the
// count of partitions, each entry's Start_Address, Partition_Size and
// compression flag, and each partition's original bytes against its
// configured file, compared through SHA-1 without holding either in memory.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/diagnostic.h"
#include "config/partition_spec.h"
#include "image/image_reader.h"

namespace vantorel {

struct ConfigFinding {
  std::optional<std::size_t> partition;  // none for the count of partitions
  // "partitions", a configuration key, "File", "size", "content" or "packing rules"
  std::string field;
  std::string configured;  // what the configuration says
  std::string image;       // what the image holds
};

// Compares a sound image's report, made with ReadImageOptions::digestOriginals,
// with the partitions of a configuration. Reads each configured file (paths
// as the packer opens them, at most one byte beyond the partition's original
// size). Appends every mismatch to `findings`, in partition order and in the
// order above within a partition; when there is none but the packing rules
// refuse the configuration's files, that refusal ("packing rules"); none
// when the image matches. A file that is there but cannot be read fails
// with an I/O failure, and a run out of memory or file handles with a
// memory failure. Prints nothing.
Outcome CompareWithConfiguration(const ImageReport& report, const PartitionList& list,
                                 std::vector<ConfigFinding>& findings);

}  // namespace vantorel
