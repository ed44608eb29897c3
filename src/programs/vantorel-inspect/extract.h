// Extraction: each partition's original bytes as DIR/partition-N.bin. Every
// file is written whole under a temporary name; only once the whole image is
// proven sound are they put in place, all or none: a failed or interrupted
// extraction leaves the folder as it was (files it would replace are moved
// aside first and moved back), nothing found at a target is ever written
// through, and without --force no file is replaced, not even one that
// appears while the extraction runs.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "image/image_reader.h"
#include "platform/folders.h"

namespace vantorel {

std::string ExtractedFileName(const std::string& directory, std::size_t index);

struct PlacementFailure {
  std::string action;  // what could not be done to the target: "write", ...
  std::string target;
  std::string systemText;
  // The target was taken meanwhile (without --force): not an I/O error.
  bool targetTaken = false;
};

class DirectorySink : public PartitionSink {
 public:
  explicit DirectorySink(std::string directory) : directory_(std::move(directory)) {}
  // A writer into a new temporary file beside the target; null when none
  // can be created. Safe from several workers at once.
  std::unique_ptr<PartitionWriter> Begin(std::size_t index) override;
  // Puts every finished partition in place of its target, all or none;
  // `replace` allows existing targets to be replaced. What failed, if
  // anything; the folder then holds what it held before.
  std::optional<PlacementFailure> PutInPlace(bool replace);

 private:
  class FileWriter;

  std::string directory_;
  std::mutex mutex_;
  std::map<std::size_t, std::unique_ptr<ReplacementFile>> finished_;
};

}  // namespace vantorel
