// The region writer: chunks read in order, encoded or hashed on workers,
// written in order, failures reported in the order a one-chunk-at-a-time
// writer would meet them.
#include "image/region_writer.h"

#include <algorithm>
#include <deque>

#include "config/packing_failures.h"
#include "image/image_format.h"
#include "image/writer_messages.h"
#include "platform/system_error.h"

namespace vantorel {

struct RegionWriter::Slot {
  Slot(uint8_t* in, uint8_t* out) : input(in), output(out) {}
  Slot(Buffer in, Buffer out)
      : input(in.get()),
        output(out.get()),
        ownedInput(std::move(in)),
        ownedOutput(std::move(out)) {}

  uint8_t* input;
  uint8_t* output;
  Buffer ownedInput;  // none for the writer's own two work buffers
  Buffer ownedOutput;
  std::size_t length = 0;
  std::size_t streamLength = 0;
  SRes result = SZ_OK;
  TaskHandle encoding;  // waits for the chunk's encoder when dropped
};

RegionWriter::RegionWriter(OutputFile& output, const std::string& outputPath, WorkBuffers& buffers,
                           const LzmaEncoder& encoder, unsigned workers, BufferAllocator allocate,
                           Progress* progress)
    : output_(output),
      outputPath_(outputPath),
      encoder_(encoder),
      allocate_(allocate),
      progress_(progress),
      pool_(workers) {
  slots_.push_back(std::make_unique<Slot>(buffers.input.get(), buffers.output.get()));
}

RegionWriter::~RegionWriter() = default;

void RegionWriter::GrowSlots(std::size_t count) {
  // A failed partition may have left chunks encoding in the background.
  for (auto& slot : slots_) slot->encoding.Wait();
  while (slots_.size() < count) {
    Buffer input = AllocateBuffer(kChunkSize, allocate_);
    Buffer output = input ? AllocateBuffer(kEncodeCapacity, allocate_) : nullptr;
    if (!output) return;  // fewer chunks in flight, the same result
    slots_.push_back(std::make_unique<Slot>(std::move(input), std::move(output)));
  }
}

Outcome RegionWriter::CheckImageLimit(const RegionState& region, std::size_t length) const {
  if (region.dataOffset + region.written + length + kSha1DigestSize <= kMaxImageSize) return {};
  return ImageTooLarge(region.partition.path, std::nullopt);
}

Outcome RegionWriter::WriteOutput(const uint8_t* data, std::size_t length) {
  if (output_.Write(data, length)) return {};
  return OutputWriteFailure(outputPath_, LastSystemError());
}

Outcome RegionWriter::Append(RegionState& region, const uint8_t* data, std::size_t length) {
  if (Outcome outcome = CheckImageLimit(region, length); !outcome.ok()) return outcome;
  if (Outcome outcome = WriteOutput(data, length); !outcome.ok()) return outcome;
  Sha1Update(region.sha1, data, static_cast<uint32_t>(length));
  region.written += length;
  return {};
}

Outcome RegionWriter::FinishRegion(RegionState& region) {
  // An empty region has had no other check; its digest must fit too.
  if (Outcome outcome = CheckImageLimit(region, 0); !outcome.ok()) return outcome;
  Sha1Digest digest;
  Sha1Final(region.sha1, digest.data());
  return WriteOutput(digest.data(), digest.size());
}

RegionWriter::ReadAhead RegionWriter::ReadChunk(InputFile& file, RegionState& region, Slot& slot,
                                                bool compressed) {
  // One byte beyond the partition is all it takes to know it does not fit.
  const auto wanted = static_cast<std::size_t>(
      std::min<uint64_t>(kChunkSize, uint64_t{region.partition.partitionSize} + 1 - region.read));
  const auto n = file.Read(slot.input, wanted);
  if (!n) {
    readError_ = LastSystemError();
    return ReadAhead::kReadFailed;
  }
  region.read += *n;
  if (compressed && region.read > kMaxCompressedFileSize) return ReadAhead::kTooLarge;
  slot.length = *n;
  return *n < wanted || ReadPastPartition(region) ? ReadAhead::kEnded : ReadAhead::kMore;
}

Outcome RegionWriter::OutcomeOfReading(ReadAhead outcome, const RegionState& region) const {
  if (outcome == ReadAhead::kReadFailed) return InputReadFailure(region.partition.path, readError_);
  if (outcome == ReadAhead::kTooLarge)
    return TooLargeToCompress(region.partition.path, std::nullopt);
  return {};
}

void RegionWriter::EncodeSlot(Slot& slot) {
  slot.streamLength = 0;
  slot.result = encoder_.EncodeChunk(slot.input, slot.length, slot.output, kEncodeCapacity,
                                     slot.streamLength);
}

void RegionWriter::Advance(uint64_t bytes) {
  if (progress_) progress_->Advance(bytes);
}

Outcome RegionWriter::WriteCompressedChunks(InputFile& file, RegionState& region) {
  // As many chunks in flight as there are workers, fewer when memory for
  // more cannot be had; with no worker, one chunk at a time.
  GrowSlots(std::max<std::size_t>(pool_.maxThreads(), 1));
  std::vector<Slot*> idle;
  for (auto& slot : slots_) idle.push_back(slot.get());
  std::deque<Slot*> inFlight;  // in chunk order
  ReadAhead reading = ReadAhead::kMore;
  for (;;) {
    while (reading == ReadAhead::kMore && !idle.empty()) {
      Slot* slot = idle.back();
      reading = ReadChunk(file, region, *slot, true);
      if (reading != ReadAhead::kMore && reading != ReadAhead::kEnded) break;
      slot->encoding = pool_.Submit([this, slot] { EncodeSlot(*slot); });
      idle.pop_back();
      inFlight.push_back(slot);
      maxChunksInFlight_ = std::max<unsigned>(maxChunksInFlight_, inFlight.size());
    }
    if (inFlight.empty()) return OutcomeOfReading(reading, region);

    Slot* slot = inFlight.front();
    inFlight.pop_front();
    slot->encoding.Join();
    Outcome outcome = slot->result == SZ_OK
                          ? Append(region, slot->output, slot->streamLength)
                          : CompressionFailure(region.partition.path, slot->result);
    // Chunks still encoding finish in the background: their slots wait for
    // them before they are used again or released.
    if (!outcome.ok()) return outcome;
    Advance(slot->length);
    idle.push_back(slot);
  }
}

Outcome RegionWriter::WritePlainChunks(InputFile& file, RegionState& region) {
  GrowSlots(pool_.maxThreads() > 0 ? 2 : 1);
  const std::size_t slots = std::min<std::size_t>(slots_.size(), 2);
  TaskHandle hashing;  // of the chunk written last
  const auto finishHashing = [&] { hashing.Join(); };
  for (std::size_t next = 0;; next = (next + 1) % slots) {
    Slot& slot = *slots_[next];
    if (slots == 1) finishHashing();  // the only buffer is still being hashed
    const ReadAhead reading = ReadChunk(file, region, slot, false);
    if (reading == ReadAhead::kReadFailed) {
      finishHashing();
      return OutcomeOfReading(reading, region);
    }
    Outcome outcome = CheckImageLimit(region, slot.length);
    finishHashing();  // the digest takes the chunks in order
    if (outcome.ok()) {
      hashing = pool_.Submit([&region, &slot] {
        Sha1Update(region.sha1, slot.input, static_cast<uint32_t>(slot.length));
      });
      outcome = WriteOutput(slot.input, slot.length);
    }
    if (!outcome.ok()) {
      finishHashing();
      return outcome;
    }
    region.written += slot.length;
    // The last chunk counts too: a partition of one chunk has no other.
    Advance(slot.length);
    if (reading == ReadAhead::kEnded) {
      finishHashing();
      return {};
    }
  }
}

}  // namespace vantorel
