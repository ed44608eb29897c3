// Extraction: each partition's original bytes as DIR/partition-N.bin. Every
// file is written whole under a temporary name; only once the whole image is
// proven sound are they put in place, in partition order, so that a failed
// extraction leaves no partition of it (none half-written) and nothing found
// at a target is ever written through.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "inspect/image_reader.h"
#include "platform/folders.h"

namespace vantorel {

std::string ExtractedFileName(const std::string& directory, std::size_t index);

class DirectorySink : public PartitionSink {
 public:
  explicit DirectorySink(std::string directory) : directory_(std::move(directory)) {}
  // A writer into a new temporary file beside the target; null when none
  // can be created. Safe from several workers at once.
  std::unique_ptr<PartitionWriter> Begin(std::size_t index) override;
  // Puts every finished partition in place of its target, in partition
  // order. The target that could not be replaced, if any; the partitions
  // after it are not put in place.
  std::optional<std::string> PutInPlace();

 private:
  class FileWriter;

  std::string directory_;
  std::mutex mutex_;
  std::map<std::size_t, std::unique_ptr<ReplacementFile>> finished_;
};

}  // namespace vantorel
