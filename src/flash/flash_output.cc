// Streaming a sound image's flash contents into an encoder.
#include "flash/flash_output.h"

#include <atomic>
#include <string>

#include "image/region_check.h"
#include "platform/system_error.h"

namespace vantorel {
namespace {

// Hands the one partition being decoded to the encoder, no more bytes than
// its span holds: the image may have changed since it was checked, and a
// partition of another size would shift everything after it.
class SpanSink : public PartitionSink {
 public:
  SpanSink(FlashEncoder& encoder, uint64_t length) : encoder_(encoder), remaining_(length) {}
  bool Prepare(const ImageReport&) override { return true; }
  std::unique_ptr<ByteSink> Begin(std::size_t) override { return std::make_unique<Bytes>(*this); }
  // The check's verdict is the streamer's to read.
  void Accept(std::size_t) override {}
  bool Overran() const { return overran_; }
  uint64_t Remaining() const { return remaining_; }

 private:
  struct Bytes : ByteSink {
    explicit Bytes(SpanSink& span) : span(span) {}
    bool Write(const uint8_t* data, std::size_t length) override {
      if (length > span.remaining_) {
        span.overran_ = true;
        return false;
      }
      span.remaining_ -= length;
      return span.encoder_.Data(data, length);
    }
    SpanSink& span;
  };

  FlashEncoder& encoder_;
  uint64_t remaining_;
  bool overran_ = false;
};

// Read at once, before anything else can change the system's error.
Diagnostic WriteFailure() {
  std::string reason = LastSystemErrorText();
  return Error(FailureKind::kIo, "a write failed").Because(std::move(reason));
}

Outcome StreamPartition(ByteSource& image, const std::string& imageName,
                        const PartitionReport& partition, uint64_t length, FlashEncoder& encoder) {
  SpanSink sink(encoder, length);
  const ReadImageOptions options{.workers = 0, .sink = &sink};
  std::atomic<std::size_t> firstUnsound = partition.index + 1;
  RegionCheckContext context{image, options, firstUnsound};
  PartitionReport again{.index = partition.index, .entry = partition.entry};
  const RegionOutcome outcome = CheckRegion(context, again);
  const std::string name = "partition " + std::to_string(partition.index);
  if (outcome.lackedMemory) {
    return Error(FailureKind::kMemory, "not enough memory to decode " + name + " again");
  }
  const auto changed = [&](const char* than) {
    return Error(FailureKind::kImageNotSound,
                 name + " decodes to " + than + " than the " + std::to_string(length) +
                     " bytes it held when checked (the image changed)");
  };
  if (sink.Overran()) return changed("more");
  if (const auto& io = outcome.ioFailure) {
    return Error(FailureKind::kIo,
                 "cannot read " + imageName + " at offset " + std::to_string(*io->where.offset))
        .Because(io->systemError);
  }
  if (const auto& write = outcome.sinkFailure) {
    return Error(FailureKind::kIo, "a write failed").Because(write->systemError);
  }
  if (!outcome.Failed() && sink.Remaining() != 0) return changed("fewer");
  if (!outcome.problem) return {};
  const Problem& problem = *outcome.problem;
  return Error(FailureKind::kImageNotSound,
               problem.what + " at byte " + std::to_string(problem.offset) + " (expected " +
                   problem.expected + ", found " + problem.found + ")");
}

}  // namespace

std::vector<FlashPlacement> PlacementsOf(const std::vector<PartitionReport>& partitions) {
  std::vector<FlashPlacement> placements;
  for (const PartitionReport& p : partitions) {
    placements.push_back({p.entry.startAddress, p.entry.partitionSize, p.originalSize.value_or(0)});
  }
  return placements;
}

Outcome StreamFlash(ByteSource& image, const std::string& imageName,
                    const std::vector<PartitionReport>& partitions, const FlashPlan& plan,
                    FlashEncoder& encoder) {
  for (const FlashSpan& span : plan.spans) {
    if (!span.partition) {
      if (!encoder.Fill(span.length)) return WriteFailure();
      continue;
    }
    const PartitionReport& partition = partitions.at(*span.partition);
    if (Outcome streamed = StreamPartition(image, imageName, partition, span.length, encoder);
        !streamed.ok()) {
      return streamed;
    }
  }
  if (!encoder.WriteTrailer()) return WriteFailure();
  return {};
}

}  // namespace vantorel
