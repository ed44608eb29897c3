// Reads an update image back and proves it sound: every field, offset,
// digest and compressed stream the format promises. Images are untrusted:
// every length is checked before use, nothing is read past the end of the
// file, and memory stays a few small buffers per worker whatever the header
// claims. The regions of different partitions are checked on workers at
// once; the report is the same for every number of workers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/byte_sink.h"
#include "common/diagnostic.h"
#include "image/image_format.h"
#include "machinery/progress.h"
#include "machinery/sha1.h"

namespace vantorel {

// Where the image's bytes come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `capacity` bytes from `offset`; fewer only at the end; nullopt on
  // a read error, the system's error of the calling thread then saying why.
  // Called from several threads at once.
  virtual std::optional<std::size_t> ReadAt(uint64_t offset, uint8_t* buffer,
                                            std::size_t capacity) = 0;
  virtual uint64_t Size() const = 0;
};

struct ImageReport;

// Where the partitions' original bytes go (extraction, a flash file). Called
// from the workers, each for partitions of its own.
class PartitionSink {
 public:
  virtual ~PartitionSink() = default;
  // Called once, on the reading thread, when the header and the entries are
  // proven sound and before any region is read: false when the sink takes
  // none of the partitions (why is the sink's to tell); no Begin follows.
  virtual bool Prepare(const ImageReport& header) = 0;
  // Where partition `index`'s bytes go, in order; null when nowhere can be
  // had, the system's error of the calling thread then saying why. A sink
  // that fails never ends the check: the image's verdict does not depend on
  // it. Bytes of a partition that is never accepted are not kept.
  virtual std::unique_ptr<ByteSink> Begin(std::size_t index) = 0;
  // Partition `index` is proven sound, all its bytes given.
  virtual void Accept(std::size_t index) = 0;
};

enum class DigestStatus { kNotChecked, kOk, kBad };

struct PartitionReport {
  std::size_t index = 0;
  PartitionEntry entry;
  std::optional<uint64_t> originalSize;  // known once the region's head is read
  DigestStatus digest = DigestStatus::kNotChecked;
  // The region's digest as stored after it and as computed from it, once
  // the whole region was read.
  std::optional<Sha1Digest> storedDigest;
  std::optional<Sha1Digest> computedDigest;
  // SHA-1 of the original bytes, when asked for and the region is sound.
  std::optional<Sha1Digest> originalDigest;
};

// What is wrong with an image: where, what, and what was expected there
// and found instead.
struct Problem {
  uint64_t offset = 0;
  std::string what;
  std::string expected;
  std::string found;
  std::optional<std::size_t> partition;  // whose region it is in; none in the header
};

struct ImageReport {
  uint64_t fileSize = 0;
  bool hasMagic = false;
  uint32_t partitionCount = 0;
  DigestStatus headerDigest = DigestStatus::kNotChecked;
  std::vector<PartitionReport> partitions;
  // The first problem in the order the image is laid out: the header's, then
  // partition 0's, and so on; none when sound. Partitions after the one with
  // the problem are left unchecked.
  std::optional<Problem> problem;
  // In place of a problem, where the system failed a read of the image
  // (Where::offset), with its words: no verdict on the image.
  std::optional<Diagnostic> ioFailure;
  // Beside the verdict, the lowest partition (Where::partition) whose
  // original bytes the sink could not take, with the system's words: that
  // partition was never accepted.
  std::optional<Diagnostic> sinkFailure;

  bool Sound() const { return hasMagic && !problem && !ioFailure; }
  // True when the read ended on an I/O error: no verdict.
  bool FailedIo() const { return ioFailure.has_value(); }
};

struct ReadImageOptions {
  unsigned workers = 0;           // 0: everything on the calling thread
  PartitionSink* sink = nullptr;  // given every partition's original bytes
  Progress* progress = nullptr;   // told of the region bytes checked
  bool digestOriginals = false;   // fill PartitionReport::originalDigest
};

// Reads the image and verifies it. Never throws for anything the image holds; throws
// std::bad_alloc when even one check at a time cannot get its memory.
ImageReport ReadImage(ByteSource& source, const ReadImageOptions& options = {});

}  // namespace vantorel
