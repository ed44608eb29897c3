// Arbitrary image bytes through the image reader of vantorel-inspect.
#include <cstring>

#include "inspect/image_reader.h"

namespace {

class MemorySource : public vantorel::ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  std::optional<std::size_t> Read(uint8_t* buffer, std::size_t capacity) override {
    const std::size_t n = std::min(capacity, size_ - position_);
    if (n > 0) std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return n;
  }
  uint64_t Size() const override { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemorySource source(data, size);
  const vantorel::ImageReport report = vantorel::InspectImage(source);
  if (report.problem && report.problem->offset > size + 20) __builtin_trap();
  return 0;
}
