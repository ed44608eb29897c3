// Test helpers around the image reader: an image held in memory, and a sink
// that collects the partitions it extracts.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "inspect/image_reader.h"

namespace vantorel::testing {

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit MemorySource(const std::vector<uint8_t>& bytes)
      : MemorySource(bytes.data(), bytes.size()) {}
  std::optional<std::size_t> Read(uint8_t* buffer, std::size_t capacity) override {
    const std::size_t n = std::min(capacity, size_ - position_);
    if (n > 0) std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return n;
  }
  uint64_t Size() const override { return size_; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

class CollectingSink : public PartitionSink {
 public:
  bool Begin(std::size_t) override {
    partitions.emplace_back();
    return true;
  }
  bool Write(const uint8_t* data, std::size_t length) override {
    partitions.back().insert(partitions.back().end(), data, data + length);
    return true;
  }
  bool End() override { return true; }

  std::vector<std::vector<uint8_t>> partitions;
};

}  // namespace vantorel::testing
