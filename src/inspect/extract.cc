// Extraction of partitions into files put in place whole.
#include "inspect/extract.h"

namespace vantorel {

class DirectorySink::FileWriter : public PartitionWriter {
 public:
  FileWriter(DirectorySink& sink, std::size_t index)
      : sink_(sink),
        index_(index),
        file_(std::make_unique<ReplacementFile>(ExtractedFileName(sink.directory_, index))) {}
  bool IsOpen() const { return file_->IsOpen(); }
  bool Write(const uint8_t* data, std::size_t length) override {
    return file_->Write(data, length);
  }
  bool Finish() override {
    const std::lock_guard lock(sink_.mutex_);
    sink_.finished_[index_] = std::move(file_);
    return true;
  }

 private:
  DirectorySink& sink_;
  std::size_t index_;
  std::unique_ptr<ReplacementFile> file_;
};

std::string ExtractedFileName(const std::string& directory, std::size_t index) {
  return directory + "/partition-" + std::to_string(index) + ".bin";
}

std::unique_ptr<PartitionWriter> DirectorySink::Begin(std::size_t index) {
  auto writer = std::make_unique<FileWriter>(*this, index);
  if (!writer->IsOpen()) return nullptr;
  return writer;
}

std::optional<std::string> DirectorySink::PutInPlace() {
  const std::lock_guard lock(mutex_);
  for (auto& [index, file] : finished_) {
    if (!file->Commit()) return ExtractedFileName(directory_, index);
  }
  return std::nullopt;
}

}  // namespace vantorel
