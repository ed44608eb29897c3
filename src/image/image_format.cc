// Serialisation of the image's records, byte by byte in little-endian order,
// and the arithmetic of offsets and chunks.
#include "image/image_format.h"

#include <algorithm>

namespace vantorel {
namespace {

PartitionEntry EntryFromWords(const std::array<uint32_t, kEntryFields>& w) {
  return {w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]};
}

ImageHeaderBytes SerializeImageHeader(const ImageHeader& header) {
  ImageHeaderBytes bytes{};
  StoreLittleEndian32(&bytes[0], header.magic);
  StoreLittleEndian32(&bytes[kPartitionCountOffset], header.partitionCount);
  for (std::size_t i = 0; i < kMaxPartitions; ++i) {
    const auto words = EntryWords(header.entries[i]);
    for (std::size_t w = 0; w < kEntryFields; ++w) {
      StoreLittleEndian32(&bytes[EntryFieldOffset(i, static_cast<EntryField>(w))], words[w]);
    }
  }
  return bytes;
}

}  // namespace

std::array<uint32_t, kEntryFields> EntryWords(const PartitionEntry& entry) {
  return {entry.dataOffset,   entry.startAddress, entry.dataLength,   entry.partitionSize,
          entry.digestOffset, entry.digestLength, entry.isCompressed, entry.reserved};
}

void StoreLittleEndian32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

void StoreLittleEndian64(uint8_t* bytes, uint64_t value) {
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t LoadLittleEndian32(const uint8_t* bytes) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

uint64_t LoadLittleEndian64(const uint8_t* bytes) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

ImageHeadBytes SerializeImageHead(const ImageHeader& header) {
  const ImageHeaderBytes headerBytes = SerializeImageHeader(header);
  const Sha1Digest digest = Sha1Of(headerBytes.data(), headerBytes.size());
  ImageHeadBytes head{};
  std::copy(headerBytes.begin(), headerBytes.end(), head.begin());
  std::copy(digest.begin(), digest.end(), head.begin() + kImageHeaderSize);
  return head;
}

ImageHeader ParseImageHeader(const ImageHeaderBytes& bytes) {
  ImageHeader header;
  header.magic = LoadLittleEndian32(&bytes[0]);
  header.partitionCount = LoadLittleEndian32(&bytes[kPartitionCountOffset]);
  for (std::size_t i = 0; i < kMaxPartitions; ++i) {
    std::array<uint32_t, kEntryFields> words{};
    for (std::size_t w = 0; w < kEntryFields; ++w) {
      words[w] = LoadLittleEndian32(&bytes[EntryFieldOffset(i, static_cast<EntryField>(w))]);
    }
    header.entries[i] = EntryFromWords(words);
  }
  return header;
}

LzmaPartitionHeaderBytes SerializeLzmaPartitionHeader(const LzmaPartitionHeader& header) {
  LzmaPartitionHeaderBytes bytes{};
  std::copy(header.properties.begin(), header.properties.end(), bytes.begin());
  StoreLittleEndian64(&bytes[kLzmaPropertiesSize], header.uncompressedSize);
  return bytes;
}

LzmaPartitionHeader ParseLzmaPartitionHeader(const LzmaPartitionHeaderBytes& bytes) {
  LzmaPartitionHeader header;
  std::copy_n(bytes.begin(), kLzmaPropertiesSize, header.properties.begin());
  header.uncompressedSize = LoadLittleEndian64(&bytes[kLzmaPropertiesSize]);
  return header;
}

PartitionEntry MakePartitionEntry(uint32_t dataOffset, uint32_t dataLength, uint32_t startAddress,
                                  uint32_t partitionSize, uint32_t isCompressed) {
  PartitionEntry entry;
  entry.dataOffset = dataOffset;
  entry.startAddress = startAddress;
  entry.dataLength = dataLength;
  entry.partitionSize = partitionSize;
  entry.digestOffset = dataOffset + dataLength;
  entry.digestLength = kSha1DigestSize;
  entry.isCompressed = isCompressed;
  return entry;
}

uint64_t NextDataOffset(const PartitionEntry& entry) {
  return uint64_t{entry.digestOffset} + kSha1DigestSize;
}

uint64_t ChunkCount(uint64_t fileSize) { return fileSize / kChunkSize + 1; }

uint64_t ChunkLength(uint64_t fileSize, uint64_t index) {
  const uint64_t start = index * kChunkSize;
  if (start >= fileSize) return 0;
  return std::min<uint64_t>(kChunkSize, fileSize - start);
}

}  // namespace vantorel
