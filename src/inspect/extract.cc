// Extraction of partitions into files put in place whole.
#include "inspect/extract.h"

#include "platform/folders.h"

namespace vantorel {
namespace {

class FileWriter : public PartitionWriter {
 public:
  explicit FileWriter(const std::string& target) : file_(target) {}
  bool IsOpen() const { return file_.IsOpen(); }
  bool Write(const uint8_t* data, std::size_t length) override { return file_.Write(data, length); }
  bool Finish() override { return file_.Commit(); }

 private:
  ReplacementFile file_;
};

}  // namespace

std::string ExtractedFileName(const std::string& directory, std::size_t index) {
  return directory + "/partition-" + std::to_string(index) + ".bin";
}

std::unique_ptr<PartitionWriter> DirectorySink::Begin(std::size_t index) {
  auto writer = std::make_unique<FileWriter>(ExtractedFileName(directory_, index));
  if (!writer->IsOpen()) return nullptr;
  return writer;
}

}  // namespace vantorel
