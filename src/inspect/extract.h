// Extraction: each partition's original bytes as DIR/partition-N.bin, each
// file written whole under a temporary name and put in place only once the
// partition is proven sound, so that an interrupted extraction leaves no
// half-written partition and nothing found at a target is written through.
#pragma once

#include <memory>
#include <string>

#include "inspect/image_reader.h"

namespace vantorel {

std::string ExtractedFileName(const std::string& directory, std::size_t index);

class DirectorySink : public PartitionSink {
 public:
  explicit DirectorySink(std::string directory) : directory_(std::move(directory)) {}
  // A writer into a new temporary file beside the target; null when none
  // can be created.
  std::unique_ptr<PartitionWriter> Begin(std::size_t index) override;

 private:
  std::string directory_;
};

}  // namespace vantorel
