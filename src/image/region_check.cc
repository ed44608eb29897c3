// The check of one region. The region is read in pieces of at most one
// MiB, so that memory stays small whatever the image claims; the decoder's
// dictionary is what carries state from one piece to the next.
#include "image/region_check.h"

#include <algorithm>
#include <span>
#include <string>

#include "common/hex.h"
#include "machinery/buffer.h"
#include "machinery/lzma_codec.h"
#include "platform/system_error.h"

namespace vantorel {
namespace {

class RegionCheck {
 public:
  RegionCheck(RegionCheckContext& context, PartitionReport& partition)
      : context_(context),
        partition_(partition),
        name_("partition " + std::to_string(partition.index)),
        position_(partition.entry.dataOffset),
        regionEnd_(uint64_t{partition.entry.dataOffset} + partition.entry.dataLength) {}

  // Checks the region; the outcome is its first problem, if any.
  RegionOutcome Run();

 private:
  // The check stops at its first problem: every step after it does nothing,
  // and the steps that meet one return at once.
  bool Stopped() const { return problem_ || ioFailure_ || lackedMemory_; }
  // A read of the image the system failed, with its text.
  void FailRead(uint64_t offset) {
    const std::string reason = LastSystemErrorText();
    if (Stopped()) return;
    ioFailure_ =
        Error(FailureKind::kIo, "cannot read the image at offset " + std::to_string(offset))
            .At({.offset = offset})
            .Because(reason);
  }
  // A write of the partition's original bytes the system failed: the sink
  // gets no more of them, and the check goes on for the image's verdict.
  void FailWrite() {
    const std::string reason = LastSystemErrorText();
    writer_.reset();
    sinkFailure_ = Error(FailureKind::kIo, "cannot write the original bytes")
                       .At({.partition = partition_.index})
                       .Because(reason);
  }
  void Fail(uint64_t offset, std::string what, std::string expected, std::string found) {
    if (!Stopped()) {
      problem_ =
          Problem{offset, std::move(what), std::move(expected), std::move(found), partition_.index};
    }
  }
  // Memory the check needs was refused: no verdict.
  void LackMemory() { lackedMemory_ = true; }
  bool ReadExactly(uint64_t offset, uint8_t* buffer, std::size_t length);
  // The region bytes read and not yet consumed, reading the next piece when
  // none are left; empty at the region's end and once the check stopped.
  std::span<const uint8_t> NextBytes();
  void Consume(std::size_t count) { bufferStart_ += count; }
  // Offset in the file of the next region byte not yet consumed.
  uint64_t Position() const { return position_ - (bufferEnd_ - bufferStart_); }
  uint64_t ReadHead();
  void DecodeStreams(uint64_t originalSize);
  void CopyPlainBytes();
  void Deliver(const uint8_t* data, std::size_t length);
  // The region's SHA-1, once it matches the stored digest.
  Sha1Digest CheckDigest();
  // The region's digests after a problem in its contents all the same: they
  // need no decoding, and they are what a user compares first.
  void DigestDespiteProblem();
  void Check();

  RegionCheckContext& context_;
  PartitionReport& partition_;
  const std::string name_;
  uint64_t position_;  // of the next byte read from the source
  const uint64_t regionEnd_;
  Buffer input_;
  Buffer output_;
  std::size_t bufferStart_ = 0;
  std::size_t bufferEnd_ = 0;
  Sha1Context regionSha1_{};
  Sha1Context originalSha1_{};
  std::unique_ptr<ByteSink> writer_;  // of the sink, if any
  std::optional<Problem> problem_;
  std::optional<Diagnostic> ioFailure_;
  std::optional<Diagnostic> sinkFailure_;
  bool regionReadable_ = true;  // false once the region or its digest cannot be read
  bool lackedMemory_ = false;
};

bool RegionCheck::ReadExactly(uint64_t offset, uint8_t* buffer, std::size_t length) {
  if (context_.firstUnsound < partition_.index) {
    regionReadable_ = false;
    Fail(offset, "abandoned", "", "an earlier partition is not sound");
    return false;
  }
  const auto n = context_.source.ReadAt(offset, buffer, length);
  if (!n) {
    FailRead(offset);
    return false;
  }
  if (*n != length) {
    regionReadable_ = false;
    Fail(offset + *n, "end of file", std::to_string(length) + " more bytes",
         std::to_string(*n) + " bytes (the file changed while it was read)");
    return false;
  }
  return true;
}

std::span<const uint8_t> RegionCheck::NextBytes() {
  if (Stopped()) return {};
  if (bufferStart_ == bufferEnd_ && position_ < regionEnd_) {
    const auto length =
        static_cast<std::size_t>(std::min<uint64_t>(regionEnd_ - position_, kPieceSize));
    if (!ReadExactly(position_, input_.get(), length)) return {};
    Sha1Update(regionSha1_, input_.get(), static_cast<uint32_t>(length));
    if (context_.options.progress) context_.options.progress->Advance(length);
    position_ += length;
    bufferStart_ = 0;
    bufferEnd_ = length;
  }
  return {input_.get() + bufferStart_, bufferEnd_ - bufferStart_};
}

void RegionCheck::Deliver(const uint8_t* data, std::size_t length) {
  if (length == 0) return;
  // A plain region is its original bytes: its own digest serves.
  if (context_.options.digestOriginals && partition_.entry.isCompressed == 1) {
    Sha1Update(originalSha1_, data, static_cast<uint32_t>(length));
  }
  if (writer_ && !writer_->Write(data, length)) {
    FailWrite();
  }
}

// A compressed region opens with the property bytes and the original size.
uint64_t RegionCheck::ReadHead() {
  const PartitionEntry& e = partition_.entry;
  if (e.dataLength < kLzmaPartitionHeaderSize) {
    Fail(EntryFieldOffset(partition_.index, EntryField::kDataLength),
         "entry " + std::to_string(partition_.index) + " dataLength",
         "at least " + std::to_string(kLzmaPartitionHeaderSize) + " (the LZMA header)",
         std::to_string(e.dataLength));
    return 0;
  }
  const std::span<const uint8_t> bytes = NextBytes();
  if (Stopped()) return 0;
  LzmaPartitionHeaderBytes head;
  std::copy_n(bytes.data(), head.size(), head.begin());
  Consume(head.size());
  const LzmaPartitionHeader header = ParseLzmaPartitionHeader(head);
  if (header.properties != kLzmaProperties) {
    Fail(e.dataOffset, name_ + " LZMA properties", Hex(kLzmaProperties), Hex(header.properties));
    return 0;
  }
  partition_.originalSize = header.uncompressedSize;
  if (header.uncompressedSize > kMaxCompressedFileSize) {
    Fail(uint64_t{e.dataOffset} + kLzmaPropertiesSize, name_ + " original size",
         "below " + std::to_string((kMaxCompressedFileSize + 1) >> 30) + " GiB",
         std::to_string(header.uncompressedSize));
  }
  return header.uncompressedSize;
}

void RegionCheck::DecodeStreams(uint64_t originalSize) {
  const std::string stream = name_ + " stream ";
  LzmaDecoder decoder;
  if (!decoder.Allocate()) return LackMemory();
  for (uint64_t k = 0; k < ChunkCount(originalSize) && !Stopped(); ++k) {
    const uint64_t chunkStart = Position();
    const uint64_t chunkLength = ChunkLength(originalSize, k);
    decoder.StartStream();
    uint64_t left = chunkLength;
    while (!Stopped()) {
      const std::span<const uint8_t> in = NextBytes();
      if (Stopped()) return;
      const auto capacity = static_cast<std::size_t>(std::min<uint64_t>(left, kPieceSize));
      const LzmaDecoder::Step step =
          decoder.Decode(in.data(), in.size(), output_.get(), capacity, capacity == left);
      Consume(step.consumed);
      Deliver(output_.get(), step.produced);
      left -= step.produced;
      if (step.result != SZ_OK) {
        return Fail(chunkStart, stream + std::to_string(k), "a valid LZMA stream",
                    "data that does not decode (LZMA status " + std::to_string(step.result) + ")");
      }
      if (step.status == LZMA_STATUS_FINISHED_WITH_MARK) {
        return Fail(Position(), stream + std::to_string(k), "no end marker", "an end marker");
      }
      if (left == 0 && step.status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK) break;
      if (in.empty() || (step.consumed == 0 && step.produced == 0)) {
        return Fail(Position(), stream + std::to_string(k),
                    std::to_string(chunkLength) + " bytes decoded",
                    std::to_string(chunkLength - left) + " bytes before the region ends");
      }
    }
  }
  if (!Stopped() && Position() != regionEnd_) {
    Fail(Position(), name_ + " region", "to end after its last stream",
         std::to_string(regionEnd_ - Position()) + " more bytes");
  }
}

void RegionCheck::CopyPlainBytes() {
  for (auto bytes = NextBytes(); !bytes.empty(); bytes = NextBytes()) {
    Deliver(bytes.data(), bytes.size());
    Consume(bytes.size());
  }
}

Sha1Digest RegionCheck::CheckDigest() {
  Sha1Digest computed;
  Sha1Final(regionSha1_, computed.data());
  Sha1Digest stored;
  if (!ReadExactly(regionEnd_, stored.data(), stored.size())) return computed;
  partition_.storedDigest = stored;
  partition_.computedDigest = computed;
  if (computed != stored) {
    partition_.digest = DigestStatus::kBad;
    Fail(regionEnd_, name_ + " digest", Hex(computed), Hex(stored));
    return computed;
  }
  partition_.digest = DigestStatus::kOk;
  return computed;
}

void RegionCheck::DigestDespiteProblem() {
  if (!problem_ || ioFailure_ || lackedMemory_ || !regionReadable_) return;
  // The bytes before position_ went into the digest as they were read.
  while (position_ < regionEnd_) {
    const auto length =
        static_cast<std::size_t>(std::min<uint64_t>(regionEnd_ - position_, kPieceSize));
    const auto n = context_.source.ReadAt(position_, input_.get(), length);
    if (!n || *n != length) return;
    Sha1Update(regionSha1_, input_.get(), static_cast<uint32_t>(length));
    position_ += length;
  }
  Sha1Digest computed;
  Sha1Final(regionSha1_, computed.data());
  Sha1Digest stored;
  const auto n = context_.source.ReadAt(regionEnd_, stored.data(), stored.size());
  if (!n || *n != stored.size()) return;
  partition_.storedDigest = stored;
  partition_.computedDigest = computed;
  partition_.digest = computed == stored ? DigestStatus::kOk : DigestStatus::kBad;
}

RegionOutcome RegionCheck::Run() {
  Check();
  return {std::move(problem_), std::move(ioFailure_), std::move(sinkFailure_), lackedMemory_};
}

void RegionCheck::Check() {
  const PartitionEntry& e = partition_.entry;
  input_ = AllocateBuffer(kPieceSize);
  output_ = AllocateBuffer(kPieceSize);
  if (!input_ || !output_) return LackMemory();
  Sha1Init(regionSha1_);
  Sha1Init(originalSha1_);
  if (context_.options.sink) {
    writer_ = context_.options.sink->Begin(partition_.index);
    if (!writer_) FailWrite();
  }
  const uint64_t originalSize = e.isCompressed == 1 ? ReadHead() : e.dataLength;
  if (Stopped()) return DigestDespiteProblem();
  partition_.originalSize = originalSize;
  if (originalSize > e.partitionSize) {
    Fail(uint64_t{e.dataOffset} + (e.isCompressed ? kLzmaPropertiesSize : 0),
         name_ + " original size",
         "at most partitionSize (" + std::to_string(e.partitionSize) + ")",
         std::to_string(originalSize));
    return DigestDespiteProblem();
  }
  if (e.isCompressed == 1) {
    DecodeStreams(originalSize);
  } else {
    CopyPlainBytes();
  }
  if (Stopped()) return DigestDespiteProblem();
  const Sha1Digest regionDigest = CheckDigest();
  if (Stopped()) return;
  if (context_.options.digestOriginals) {
    Sha1Digest original = regionDigest;
    if (e.isCompressed == 1) Sha1Final(originalSha1_, original.data());
    partition_.originalDigest = original;
  }
  if (writer_) context_.options.sink->Accept(partition_.index);
}

}  // namespace

RegionOutcome CheckRegion(RegionCheckContext& context, PartitionReport& partition) {
  return RegionCheck(context, partition).Run();
}

}  // namespace vantorel
