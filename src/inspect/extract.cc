// Extraction of partitions into files put in place whole.
#include "inspect/extract.h"

namespace vantorel {

std::string ExtractedFileName(const std::string& directory, std::size_t index) {
  return directory + "/partition-" + std::to_string(index) + ".bin";
}

bool DirectorySink::Begin(std::size_t index) {
  file_ = std::make_unique<ReplacementFile>(ExtractedFileName(directory_, index));
  return file_->IsOpen();
}

bool DirectorySink::Write(const uint8_t* data, std::size_t length) {
  return file_->Write(data, length);
}

bool DirectorySink::End() {
  const bool committed = file_->Commit();
  file_.reset();
  return committed;
}

}  // namespace vantorel
