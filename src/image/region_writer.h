// Writes the chunks of one partition's region into the image, keeping its
// digest. Chunks of a compressed partition are encoded on worker threads
// while later chunks are read, and written strictly in order; the bytes of a
// plain partition are hashed on a worker while the next chunk is read and
// this one written. Every message, byte and failure comes in the order of
// reading, encoding and writing one chunk after the other.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/diagnostic.h"
#include "config/partition_spec.h"
#include "machinery/buffer.h"
#include "machinery/lzma_codec.h"
#include "machinery/progress.h"
#include "machinery/sha1.h"
#include "machinery/worker_pool.h"
#include "platform/files.h"

namespace vantorel {

struct WorkBuffers {
  Buffer input;   // kChunkSize bytes: one chunk of a partition file
  Buffer output;  // kEncodeCapacity bytes: one encoded stream
};

// One partition's region while it is written.
struct RegionState {
  const PartitionSpec& partition;
  uint64_t dataOffset;  // where the region starts in the image
  Sha1Context sha1{};
  uint64_t written = 0;  // region bytes, later dataLength
  uint64_t read = 0;     // bytes read from the partition file
};

// Once more bytes were read than the partition holds, the size check's
// failure is certain, and nothing more of the file is read: at most one byte
// beyond the partition.
inline bool ReadPastPartition(const RegionState& region) {
  return region.read > region.partition.partitionSize;
}

class RegionWriter {
 public:
  // Up to `workers` worker threads (0: everything on the caller's thread)
  // and as many chunks in flight; buffers beyond the two work buffers come
  // from `allocate`, and are done without when they cannot be had. Tells
  // `progress`, if any, of every chunk written.
  RegionWriter(OutputFile& output, const std::string& outputPath, WorkBuffers& buffers,
               const LzmaEncoder& encoder, unsigned workers, BufferAllocator allocate,
               Progress* progress);
  ~RegionWriter();
  RegionWriter(const RegionWriter&) = delete;
  RegionWriter& operator=(const RegionWriter&) = delete;

  // Writes and digests region bytes unless they, with the digest that must
  // follow them, would carry the image past its 32-bit limit.
  Outcome Append(RegionState& region, const uint8_t* data, std::size_t length);
  // Reads the file chunk by chunk to its end, or until more was read than
  // the partition holds, and appends each chunk's stream (compressed) or
  // its bytes (plain) to the region. A failure comes only after every chunk
  // before it is written, as a writer that handles one chunk at a time would.
  Outcome WriteCompressedChunks(InputFile& file, RegionState& region);
  Outcome WritePlainChunks(InputFile& file, RegionState& region);
  // Writes the region's digest after it.
  Outcome FinishRegion(RegionState& region);

  // The most chunks of a compressed partition that were read and handed to
  // the workers, and not yet written, at one time.
  unsigned maxChunksInFlight() const { return maxChunksInFlight_; }

 private:
  struct Slot;
  // Failures found while reading ahead wait until the chunks before them
  // are written.
  enum class ReadAhead { kMore, kEnded, kReadFailed, kTooLarge };

  Outcome CheckImageLimit(const RegionState& region, std::size_t length) const;
  // Runs on a worker: encodes the slot's chunk into its stream.
  void EncodeSlot(Slot& slot);
  void Advance(uint64_t bytes);
  Outcome WriteOutput(const uint8_t* data, std::size_t length);
  void GrowSlots(std::size_t count);
  ReadAhead ReadChunk(InputFile& file, RegionState& region, Slot& slot, bool compressed);
  // Success when reading ended normally; otherwise why it did not.
  Outcome OutcomeOfReading(ReadAhead outcome, const RegionState& region) const;

  OutputFile& output_;
  const std::string& outputPath_;
  const LzmaEncoder& encoder_;
  BufferAllocator allocate_;
  Progress* progress_;
  unsigned maxChunksInFlight_ = 0;
  int readError_ = 0;  // of the read that failed, kept until it is reported
  std::vector<std::unique_ptr<Slot>> slots_;
  WorkerPool pool_;  // last, so that its threads end before what they use
};

}  // namespace vantorel
