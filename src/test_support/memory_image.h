// Test helpers around the image reader: an image held in memory, and a sink
// that collects the partitions it extracts.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "image/image_reader.h"

namespace vantorel::testing {

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  std::optional<std::size_t> ReadAt(uint64_t offset, uint8_t* buffer,
                                    std::size_t capacity) override {
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<std::size_t>(capacity, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }
  uint64_t Size() const override { return bytes_.size(); }

 private:
  const std::vector<uint8_t>& bytes_;
};

// Keeps each partition's bytes once it is accepted.
class CollectingSink : public PartitionSink {
 public:
  bool Prepare(const ImageReport&) override { return true; }
  std::unique_ptr<ByteSink> Begin(std::size_t index) override {
    const std::lock_guard lock(mutex_);
    return std::make_unique<Bytes>(pending_[index]);
  }
  void Accept(std::size_t index) override {
    const std::lock_guard lock(mutex_);
    finished_[index] = std::move(pending_[index]);
  }
  // The accepted partitions, by index.
  std::vector<std::vector<uint8_t>> Partitions() const {
    std::vector<std::vector<uint8_t>> all;
    for (const auto& [index, bytes] : finished_) all.push_back(bytes);
    return all;
  }

 private:
  struct Bytes : ByteSink {
    explicit Bytes(std::vector<uint8_t>& kept) : kept(kept) {}
    bool Write(const uint8_t* data, std::size_t length) override {
      kept.insert(kept.end(), data, data + length);
      return true;
    }
    std::vector<uint8_t>& kept;
  };

  std::mutex mutex_;
  // A map's elements stay where they are while others are added.
  std::map<std::size_t, std::vector<uint8_t>> pending_;
  std::map<std::size_t, std::vector<uint8_t>> finished_;
};

}  // namespace vantorel::testing
