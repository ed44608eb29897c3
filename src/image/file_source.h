// An image file as the reader's byte source.
#pragma once

#include <cstdint>
#include <optional>

#include "image/image_reader.h"
#include "platform/files.h"

namespace vantorel {

class FileSource : public ByteSource {
 public:
  FileSource(const InputFile& file, uint64_t size) : file_(file), size_(size) {}
  std::optional<std::size_t> ReadAt(uint64_t offset, uint8_t* buffer,
                                    std::size_t capacity) override {
    return file_.ReadAt(offset, buffer, capacity);
  }
  uint64_t Size() const override { return size_; }

 private:
  const InputFile& file_;
  uint64_t size_;
};

}  // namespace vantorel
