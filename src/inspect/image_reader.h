// Reads an update image back and proves it sound: every field, offset,
// digest and compressed stream the format promises. Images are untrusted:
// every length is checked before use, memory is two fixed chunk buffers
// whatever the header claims, and nothing is read past the end of the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/image_format.h"

namespace vantorel {

// Where the image's bytes come from, read front to back.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `capacity` bytes; fewer only at the end; nullopt on a read error.
  virtual std::optional<std::size_t> Read(uint8_t* buffer, std::size_t capacity) = 0;
  virtual uint64_t Size() const = 0;
};

// Receives the original bytes of each partition, in order (extraction).
class PartitionSink {
 public:
  virtual ~PartitionSink() = default;
  virtual bool Begin(std::size_t index) = 0;
  virtual bool Write(const uint8_t* data, std::size_t length) = 0;
  virtual bool End() = 0;
};

enum class DigestStatus { kNotChecked, kOk, kBad };

struct PartitionReport {
  std::size_t index = 0;
  PartitionEntry entry;
  std::optional<uint64_t> originalSize;  // known once the region's head is read
  DigestStatus digest = DigestStatus::kNotChecked;
};

struct Problem {
  uint64_t offset = 0;
  std::string what;
  std::string expected;
  std::string found;
};

struct ImageReport {
  uint64_t fileSize = 0;
  bool hasMagic = false;
  uint32_t partitionCount = 0;
  DigestStatus headerDigest = DigestStatus::kNotChecked;
  std::vector<PartitionReport> partitions;
  std::optional<Problem> problem;  // the first one found; none when sound

  bool Sound() const { return hasMagic && !problem; }
};

// Verifies the image; with a sink, hands it every partition's original bytes.
ImageReport InspectImage(ByteSource& source, PartitionSink* sink = nullptr);

}  // namespace vantorel
