// The image reader. Regions follow each other without gaps once the entries
// are checked, so the whole file is read once, front to back.
#include "inspect/image_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>

#include "LzmaDec.h"
#include "image/buffer.h"
#include "image/heap_allocator.h"
#include "image/sha1.h"

namespace vantorel {
namespace {

// Decoded bytes go to the sink in pieces of this size; the decoder's own
// dictionary is what carries state between them.
constexpr std::size_t kDecodeBufferSize = 1 << 20;

std::string Hex(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t b : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%s%02X", text.empty() ? "" : " ", b);
    text += digits;
  }
  return text;
}

std::string Number(uint64_t value) { return std::to_string(value); }

// Reports the first problem and stops every later check.
class Failed {};

class Inspection {
 public:
  Inspection(ByteSource& source, PartitionSink* sink, ImageReport& report)
      : source_(source), sink_(sink), report_(report) {}

  void Run();

 private:
  [[noreturn]] void Fail(uint64_t offset, std::string what, std::string expected,
                         std::string found);
  void ReadExactly(uint8_t* buffer, std::size_t length);
  void CheckEntries(const ImageHeader& header);
  [[noreturn]] void FailEntry(std::size_t index, EntryField field, std::string expected,
                              uint32_t found);
  void CheckPartition(PartitionReport& partition);
  void DecodeRegion(PartitionReport& partition, uint64_t originalSize);
  void CheckDigest(PartitionReport& partition);
  void Deliver(const uint8_t* data, std::size_t length);

  // The region being read: bytes still to come, and what is in the buffer.
  std::span<const uint8_t> NextRegionBytes();
  void ConsumeRegionBytes(std::size_t count);
  // Offset in the file of the next region byte not yet consumed.
  uint64_t RegionPosition() const;

  ByteSource& source_;
  PartitionSink* sink_;
  ImageReport& report_;
  Buffer input_;  // region bytes as read, at most one 16 MiB chunk
  std::size_t inputCapacity_ = 0;
  Buffer output_;          // decoded bytes, kDecodeBufferSize
  uint64_t position_ = 0;  // of the next byte read from the source
  uint64_t regionLeft_ = 0;
  std::size_t bufferStart_ = 0;
  std::size_t bufferEnd_ = 0;
  Sha1Context sha1_{};
};

void Inspection::Fail(uint64_t offset, std::string what, std::string expected, std::string found) {
  report_.problem = Problem{offset, std::move(what), std::move(expected), std::move(found)};
  throw Failed();
}

void Inspection::ReadExactly(uint8_t* buffer, std::size_t length) {
  const auto n = source_.Read(buffer, length);
  if (!n) Fail(position_, "read error", "readable bytes", "an error from the system");
  if (*n != length) {
    Fail(position_ + *n, "end of file", Number(length) + " more bytes",
         Number(*n) + " bytes (the file changed while it was read)");
  }
  position_ += length;
}

void Inspection::FailEntry(std::size_t index, EntryField field, std::string expected,
                           uint32_t found) {
  static constexpr const char* kNames[kEntryFields] = {
      "dataOffset",   "startAddress", "dataLength",   "partitionSize",
      "digestOffset", "digestLength", "isCompressed", "reserved"};
  Fail(EntryFieldOffset(index, field),
       "entry " + Number(index) + " " + kNames[static_cast<std::size_t>(field)],
       std::move(expected), Number(found));
}

void Inspection::CheckEntries(const ImageHeader& header) {
  uint64_t expectedOffset = kFirstDataOffset;
  for (std::size_t i = 0; i < kMaxPartitions; ++i) {
    const PartitionEntry& e = header.entries[i];
    if (i >= header.partitionCount) {
      const auto words = EntryWords(e);
      for (std::size_t w = 0; w < kEntryFields; ++w) {
        if (words[w] != 0)
          FailEntry(i, static_cast<EntryField>(w), "0 (an unused entry)", words[w]);
      }
      continue;
    }
    if (e.dataOffset != expectedOffset) {
      FailEntry(i, EntryField::kDataOffset, Number(expectedOffset), e.dataOffset);
    }
    const uint64_t digestOffset = uint64_t{e.dataOffset} + e.dataLength;
    if (e.digestOffset != digestOffset) {
      FailEntry(i, EntryField::kDigestOffset, Number(digestOffset) + " (dataOffset + dataLength)",
                e.digestOffset);
    }
    if (e.digestLength != kSha1DigestSize) {
      FailEntry(i, EntryField::kDigestLength, Number(kSha1DigestSize), e.digestLength);
    }
    if (e.isCompressed > 1) FailEntry(i, EntryField::kIsCompressed, "0 or 1", e.isCompressed);
    if (e.reserved != 0) FailEntry(i, EntryField::kReserved, "0", e.reserved);
    if (uint64_t{e.digestOffset} + kSha1DigestSize > report_.fileSize) {
      Fail(report_.fileSize, "partition " + Number(i) + " region and digest",
           "a file of at least " + Number(uint64_t{e.digestOffset} + kSha1DigestSize) + " bytes",
           Number(report_.fileSize) + " bytes");
    }
    expectedOffset = uint64_t{e.digestOffset} + kSha1DigestSize;
  }
  if (report_.fileSize != expectedOffset) {
    Fail(expectedOffset, "file size", Number(expectedOffset) + " bytes (after the last digest)",
         Number(report_.fileSize) + " bytes");
  }
}

std::span<const uint8_t> Inspection::NextRegionBytes() {
  if (bufferStart_ == bufferEnd_ && regionLeft_ > 0) {
    const std::size_t length =
        static_cast<std::size_t>(std::min<uint64_t>(regionLeft_, inputCapacity_));
    ReadExactly(input_.get(), length);
    Sha1Update(sha1_, input_.get(), static_cast<uint32_t>(length));
    regionLeft_ -= length;
    bufferStart_ = 0;
    bufferEnd_ = length;
  }
  return {input_.get() + bufferStart_, bufferEnd_ - bufferStart_};
}

void Inspection::ConsumeRegionBytes(std::size_t count) { bufferStart_ += count; }

uint64_t Inspection::RegionPosition() const { return position_ - (bufferEnd_ - bufferStart_); }

void Inspection::Deliver(const uint8_t* data, std::size_t length) {
  if (sink_ && length > 0 && !sink_->Write(data, length)) {
    Fail(RegionPosition(), "extraction", "the partition written out", "a failed write");
  }
}

// Owns a decoder's probability tables and dictionary.
class Decoder {
 public:
  Decoder() { LzmaDec_Construct(&state_); }
  ~Decoder() { LzmaDec_Free(&state_, &HeapAllocator); }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  bool Allocate(const uint8_t* properties) {
    return LzmaDec_Allocate(&state_, properties, kLzmaPropertiesSize, &HeapAllocator) == SZ_OK;
  }
  CLzmaDec* get() { return &state_; }

 private:
  CLzmaDec state_;
};

void Inspection::DecodeRegion(PartitionReport& partition, uint64_t originalSize) {
  const std::string name = "partition " + Number(partition.index) + " stream ";
  Decoder decoder;
  if (!decoder.Allocate(kLzmaProperties.data())) {
    Fail(RegionPosition(), "decoder", "memory for a 16 KiB dictionary", "none");
  }
  for (uint64_t k = 0; k < ChunkCount(originalSize); ++k) {
    const uint64_t chunkStart = RegionPosition();
    LzmaDec_Init(decoder.get());
    uint64_t left = ChunkLength(originalSize, k);
    for (;;) {
      const std::span<const uint8_t> in = NextRegionBytes();
      SizeT inLength = in.size();
      SizeT outLength = static_cast<SizeT>(std::min<uint64_t>(left, kDecodeBufferSize));
      const ELzmaFinishMode finish = outLength == left ? LZMA_FINISH_END : LZMA_FINISH_ANY;
      ELzmaStatus status;
      const SRes result = LzmaDec_DecodeToBuf(decoder.get(), output_.get(), &outLength, in.data(),
                                              &inLength, finish, &status);
      ConsumeRegionBytes(inLength);
      Deliver(output_.get(), outLength);
      left -= outLength;
      if (result != SZ_OK) {
        Fail(chunkStart, name + Number(k), "a valid LZMA stream",
             "data that does not decode (LZMA status " + Number(result) + ")");
      }
      if (status == LZMA_STATUS_FINISHED_WITH_MARK) {
        Fail(RegionPosition(), name + Number(k), "no end marker", "an end marker");
      }
      if (left == 0 && status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK) break;
      if (in.empty() || (inLength == 0 && outLength == 0)) {
        Fail(RegionPosition(), name + Number(k),
             Number(ChunkLength(originalSize, k)) + " bytes decoded",
             Number(ChunkLength(originalSize, k) - left) + " bytes before the region ends");
      }
    }
  }
  if (!NextRegionBytes().empty()) {
    Fail(RegionPosition(), "partition " + Number(partition.index) + " region",
         "to end after its last stream",
         Number(bufferEnd_ - bufferStart_ + regionLeft_) + " more bytes");
  }
}

void Inspection::CheckDigest(PartitionReport& partition) {
  uint8_t computed[kSha1DigestSize];
  Sha1Final(sha1_, computed);
  uint8_t stored[kSha1DigestSize];
  const uint64_t offset = position_;
  ReadExactly(stored, sizeof stored);
  if (std::equal(std::begin(computed), std::end(computed), std::begin(stored))) {
    partition.digest = DigestStatus::kOk;
    return;
  }
  partition.digest = DigestStatus::kBad;
  Fail(offset, "partition " + Number(partition.index) + " digest", Hex(computed), Hex(stored));
}

void Inspection::CheckPartition(PartitionReport& partition) {
  const PartitionEntry& e = partition.entry;
  const std::string name = "partition " + Number(partition.index);
  Sha1Init(sha1_);
  regionLeft_ = e.dataLength;
  bufferStart_ = bufferEnd_ = 0;
  if (sink_ && !sink_->Begin(partition.index)) {
    Fail(e.dataOffset, "extraction", "a file for " + name, "none could be created");
  }
  uint64_t originalSize = e.dataLength;
  if (e.isCompressed == 1) {
    if (e.dataLength < kLzmaPartitionHeaderSize) {
      FailEntry(partition.index, EntryField::kDataLength,
                "at least " + Number(kLzmaPartitionHeaderSize) + " (the LZMA header)",
                e.dataLength);
    }
    LzmaPartitionHeaderBytes head;
    std::copy_n(NextRegionBytes().data(), head.size(), head.begin());
    ConsumeRegionBytes(head.size());
    const LzmaPartitionHeader header = ParseLzmaPartitionHeader(head);
    if (header.properties != kLzmaProperties) {
      Fail(e.dataOffset, name + " LZMA properties", Hex(kLzmaProperties), Hex(header.properties));
    }
    originalSize = header.uncompressedSize;
    partition.originalSize = originalSize;
    if (originalSize > kMaxCompressedFileSize) {
      Fail(uint64_t{e.dataOffset} + kLzmaPropertiesSize, name + " original size",
           "below " + Number((kMaxCompressedFileSize + 1) >> 30) + " GiB", Number(originalSize));
    }
  }
  partition.originalSize = originalSize;
  if (originalSize > e.partitionSize) {
    Fail(uint64_t{e.dataOffset} + (e.isCompressed ? kLzmaPropertiesSize : 0),
         name + " original size", "at most partitionSize (" + Number(e.partitionSize) + ")",
         Number(originalSize));
  }
  if (e.isCompressed == 1) {
    DecodeRegion(partition, originalSize);
  } else {
    for (auto bytes = NextRegionBytes(); !bytes.empty(); bytes = NextRegionBytes()) {
      Deliver(bytes.data(), bytes.size());
      ConsumeRegionBytes(bytes.size());
    }
  }
  CheckDigest(partition);
  if (sink_ && !sink_->End()) Fail(e.digestOffset, "extraction", "the file closed", "an error");
}

void Inspection::Run() {
  report_.fileSize = source_.Size();
  ImageHeaderBytes headerBytes{};
  const std::size_t headLength =
      static_cast<std::size_t>(std::min<uint64_t>(report_.fileSize, kFirstDataOffset));
  uint8_t head[kFirstDataOffset] = {};
  ReadExactly(head, headLength);
  std::copy_n(head, std::min(headLength, headerBytes.size()), headerBytes.begin());

  const std::size_t magicSize = kImageMagicBytes.size();
  report_.hasMagic =
      headLength >= magicSize && std::equal(kImageMagicBytes.begin(), kImageMagicBytes.end(), head);
  if (!report_.hasMagic) {
    Fail(0, "magic (an unfinished image: the packer writes the header last)", Hex(kImageMagicBytes),
         headLength >= magicSize ? Hex({head, magicSize})
                                 : "a file of " + Number(headLength) + " bytes");
  }
  if (headLength < kFirstDataOffset) {
    Fail(headLength, "header and its digest", Number(kFirstDataOffset) + " bytes",
         Number(headLength) + " bytes");
  }
  const ImageHeader header = ParseImageHeader(headerBytes);
  report_.partitionCount = header.partitionCount;
  if (header.partitionCount > kMaxPartitions) {
    Fail(kPartitionCountOffset, "partitionCount", "at most " + Number(kMaxPartitions),
         Number(header.partitionCount));
  }
  for (std::size_t i = 0; i < header.partitionCount; ++i) {
    report_.partitions.push_back({i, header.entries[i], std::nullopt, DigestStatus::kNotChecked});
  }
  CheckEntries(header);

  const Sha1Digest digest = Sha1Of(head, kImageHeaderSize);
  const std::span<const uint8_t> stored(head + kImageHeaderSize, kSha1DigestSize);
  report_.headerDigest = std::equal(stored.begin(), stored.end(), digest.begin())
                             ? DigestStatus::kOk
                             : DigestStatus::kBad;
  if (report_.headerDigest == DigestStatus::kBad) {
    Fail(kImageHeaderSize, "header digest", Hex(digest), Hex(stored));
  }

  if (header.partitionCount == 0) return;
  // Buffers no larger than the regions need, and never above their fixed sizes.
  uint64_t longestRegion = 1;
  for (const PartitionReport& p : report_.partitions) {
    longestRegion = std::max<uint64_t>(longestRegion, p.entry.dataLength);
  }
  inputCapacity_ = static_cast<std::size_t>(std::min<uint64_t>(longestRegion, kChunkSize));
  input_ = AllocateBuffer(inputCapacity_);
  output_ = AllocateBuffer(kDecodeBufferSize);
  if (!input_ || !output_) Fail(0, "memory", "the read and decode buffers", "none");
  for (PartitionReport& partition : report_.partitions) CheckPartition(partition);
}

}  // namespace

ImageReport InspectImage(ByteSource& source, PartitionSink* sink) {
  ImageReport report;
  Inspection inspection(source, sink, report);
  try {
    inspection.Run();
  } catch (const Failed&) {
  }
  return report;
}

}  // namespace vantorel
