// Streaming a sound image's flash contents into an encoder.
#include "flash/flash_output.h"

#include <atomic>

#include "image/region_check.h"

namespace vantorel {
namespace {

// Hands the one partition being decoded to the encoder, no more bytes than
// its span holds: the image may have changed since it was checked, and a
// partition of another size would shift everything after it.
class EncoderWriter : public PartitionWriter {
 public:
  EncoderWriter(FlashEncoder& encoder, uint64_t& remaining)
      : encoder_(encoder), remaining_(remaining) {}
  bool Write(const uint8_t* data, std::size_t length) override {
    if (length > remaining_) return false;
    remaining_ -= length;
    return encoder_.Data(data, length);
  }
  bool Finish() override { return remaining_ == 0; }

 private:
  FlashEncoder& encoder_;
  uint64_t& remaining_;
};

class EncoderSink : public PartitionSink {
 public:
  EncoderSink(FlashEncoder& encoder, uint64_t length) : encoder_(encoder), remaining_(length) {}
  std::unique_ptr<PartitionWriter> Begin(std::size_t) override {
    return std::make_unique<EncoderWriter>(encoder_, remaining_);
  }

 private:
  FlashEncoder& encoder_;
  uint64_t remaining_;
};

std::optional<std::string> StreamPartition(ByteSource& image, const PartitionReport& partition,
                                           uint64_t length, FlashEncoder& encoder) {
  EncoderSink sink(encoder, length);
  const ReadImageOptions options{.workers = 0, .sink = &sink};
  std::atomic<std::size_t> firstUnsound = partition.index + 1;
  RegionCheckContext context{image, options, firstUnsound};
  PartitionReport again{.index = partition.index, .entry = partition.entry};
  RegionOutcome outcome = CheckRegion(context, again);
  if (outcome.lackedMemory) throw std::bad_alloc();
  if (!outcome.problem) return std::nullopt;
  const Problem& problem = *outcome.problem;
  return problem.what + " at byte " + std::to_string(problem.offset) + " (expected " +
         problem.expected + ", found " + problem.found + ")";
}

}  // namespace

std::vector<FlashPlacement> PlacementsOf(const std::vector<PartitionReport>& partitions) {
  std::vector<FlashPlacement> placements;
  for (const PartitionReport& p : partitions) {
    placements.push_back({p.entry.startAddress, p.entry.partitionSize, p.originalSize.value_or(0)});
  }
  return placements;
}

std::optional<std::string> StreamFlash(ByteSource& image,
                                       const std::vector<PartitionReport>& partitions,
                                       const FlashPlan& plan, FlashEncoder& encoder) {
  const std::string failedWrite = "the flash file could not be written";
  for (const FlashSpan& span : plan.spans) {
    if (!span.partition) {
      if (!encoder.Fill(span.length)) return failedWrite;
      continue;
    }
    const PartitionReport& partition = partitions.at(*span.partition);
    if (auto problem = StreamPartition(image, partition, span.length, encoder)) {
      return problem;
    }
  }
  if (!encoder.Finish()) return failedWrite;
  return std::nullopt;
}

}  // namespace vantorel
