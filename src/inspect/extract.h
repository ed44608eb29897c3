// Writes each partition's original bytes to DIR/partition-N.bin.
#pragma once

#include <memory>
#include <string>

#include "inspect/image_reader.h"
#include "platform/files.h"

namespace vantorel {

std::string ExtractedFileName(const std::string& directory, std::size_t index);

class DirectorySink : public PartitionSink {
 public:
  explicit DirectorySink(std::string directory) : directory_(std::move(directory)) {}
  bool Begin(std::size_t index) override;
  bool Write(const uint8_t* data, std::size_t length) override;
  bool End() override;

 private:
  std::string directory_;
  std::unique_ptr<OutputFile> file_;
};

}  // namespace vantorel
