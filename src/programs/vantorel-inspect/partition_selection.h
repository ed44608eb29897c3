// --partition N: extraction of the partitions named only. The image is still
// read and proven sound whole; the others' bytes are decoded and dropped.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "image/image_reader.h"
#include "programs/vantorel-inspect/arguments.h"

namespace vantorel {

// The partitions the command extracts from the image, in order: those it
// names, or every one when it names none.
std::vector<std::size_t> ExtractedPartitions(const InspectCommand& command,
                                             const ImageReport& report);

// The lowest partition named that the image does not hold.
std::optional<std::size_t> MissingPartition(const std::set<std::size_t>& named,
                                            const ImageReport& report);

// Passes the named partitions to another sink (all of them when none is
// named) and drops the bytes of the rest.
class SelectedPartitionsSink : public PartitionSink {
 public:
  SelectedPartitionsSink(PartitionSink& inner, const std::set<std::size_t>& named)
      : inner_(inner), named_(named) {}
  std::unique_ptr<ByteSink> Begin(std::size_t index) override;
  void Accept(std::size_t index) override;

 private:
  PartitionSink& inner_;
  const std::set<std::size_t>& named_;
};

}  // namespace vantorel
