// Extraction: each partition's original bytes as DIR/partition-N.bin,
// written in the same read that proves the image sound. Every file is
// written whole through CommittedOutput; only once the whole image is proven
// sound are they put in place, all or none: a failed or interrupted
// extraction leaves the folder as it was (files it would replace are moved
// aside first and moved back, a folder it made is removed), nothing found
// at a target is ever written through, and without --force no file is
// replaced, not even one that appears while the extraction runs.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "common/diagnostic.h"
#include "image/image_reader.h"
#include "programs/vantorel-inspect/arguments.h"

namespace vantorel {

class DirectorySink;
class ExtractionFolder;

// The sink of the read that verifies the image, for the extraction the
// command asks for.
class Extraction : public PartitionSink {
 public:
  Extraction(const InspectCommand& command, std::string imagePath);
  ~Extraction() override;
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;

  // Makes the folder and checks every target before any byte is written:
  // false, keeping why, when the extraction cannot be made. Refuses targets
  // that exist (unless forced), a folder at a target, and always a target
  // that is the image itself.
  bool Prepare(const ImageReport& header) override;
  std::unique_ptr<ByteSink> Begin(std::size_t index) override;
  void Accept(std::size_t index) override;

  // Once the read with this sink proved the image sound: every file put in
  // place and announced on standard output, or nothing extracted and why.
  Outcome PutInPlace(const ImageReport& report);

 private:
  Outcome Refusal(const ImageReport& header);

  const InspectCommand& command_;
  const std::string imagePath_;
  std::string directory_;
  // Why nothing is extracted, found before any byte was read; until the
  // reader prepared this sink, that nothing was.
  Outcome refusal_ = Error(FailureKind::kOutput, "nothing extracted: the image was never read");
  std::unique_ptr<ExtractionFolder> folder_;
  std::unique_ptr<DirectorySink> files_;  // goes before the folder it writes in
};

}  // namespace vantorel
