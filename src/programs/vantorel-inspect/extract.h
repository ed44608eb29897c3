// Extraction: each partition's original bytes as DIR/partition-N.bin. Every
// file is written whole through CommittedOutput; only once the whole image
// is proven sound are they put in place, all or none: a failed or
// interrupted extraction leaves the folder as it was (files it would replace
// are moved aside first and moved back, a folder it made is removed),
// nothing found at a target is ever written through, and without --force no
// file is replaced, not even one that appears while the extraction runs.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "common/diagnostic.h"
#include "image/image_reader.h"
#include "platform/output_commit.h"

namespace vantorel {

class InterruptCleanup;

std::string ExtractedFileName(const std::string& directory, std::size_t index);

// The folder extracted into: made when it is missing, and removed again
// (when nothing else came into it meanwhile) unless the extraction is kept,
// also when the run is interrupted.
class ExtractionFolder {
 public:
  explicit ExtractionFolder(std::string path);
  ~ExtractionFolder();
  ExtractionFolder(const ExtractionFolder&) = delete;
  ExtractionFolder& operator=(const ExtractionFolder&) = delete;

  // Empty when the folder is there; otherwise the system's text of why not.
  const std::string& FailureText() const { return failure_; }
  void Keep();

 private:
  std::string path_;
  bool made_ = false;
  std::unique_ptr<InterruptCleanup> cleanup_;  // of a folder made
  std::string failure_;
};

class DirectorySink : public PartitionSink {
 public:
  explicit DirectorySink(std::string directory) : directory_(std::move(directory)) {}
  // Bytes into a new file for the target; null when none can be made. Safe
  // from several workers at once.
  std::unique_ptr<ByteSink> Begin(std::size_t index) override;
  void Accept(std::size_t index) override;
  // Puts every accepted partition in place of its target, all or none;
  // `replace` moves existing targets aside first. Once all are in place,
  // `announce` says so on standard output; when that fails too, or anything
  // before it, the folder holds what it held before.
  Outcome PutInPlace(bool replace, const std::function<bool()>& announce);

 private:
  std::string directory_;
  std::mutex mutex_;
  std::map<std::size_t, std::unique_ptr<CommittedOutput>> begun_;
  std::map<std::size_t, std::unique_ptr<CommittedOutput>> accepted_;
};

}  // namespace vantorel
