// Extraction: each partition's original bytes as DIR/partition-N.bin, each
// file written whole under a temporary name and then put in place, so that
// an interrupted extraction leaves no half-written partition and nothing at
// a target is ever written through.
#pragma once

#include <memory>
#include <string>

#include "inspect/image_reader.h"
#include "platform/folders.h"

namespace vantorel {

std::string ExtractedFileName(const std::string& directory, std::size_t index);

class DirectorySink : public PartitionSink {
 public:
  explicit DirectorySink(std::string directory) : directory_(std::move(directory)) {}
  // Starts partition `index` in a new temporary file; false when none can be created.
  bool Begin(std::size_t index) override;
  bool Write(const uint8_t* data, std::size_t length) override;
  // Puts the finished partition in place of its target; false when that fails.
  bool End() override;

 private:
  std::string directory_;
  std::unique_ptr<ReplacementFile> file_;
};

}  // namespace vantorel
