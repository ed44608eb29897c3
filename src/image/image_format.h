// The update image's records, constants and offset arithmetic, with explicit
// little-endian serialisation so that the bytes never depend on the host.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantorel {

inline constexpr uint32_t kImageMagic = 0x004D4D4D;  // bytes 4D 4D 4D 00
inline constexpr std::size_t kMaxPartitions = 4;
inline constexpr std::size_t kPartitionEntrySize = 32;
inline constexpr std::size_t kImageHeaderSize = 8 + kMaxPartitions * kPartitionEntrySize;  // 136
inline constexpr std::size_t kDigestSize = 20;
inline constexpr uint32_t kFirstDataOffset = kImageHeaderSize + kDigestSize;  // 156
inline constexpr std::size_t kLzmaPropertiesSize = 5;
inline constexpr std::size_t kLzmaPartitionHeaderSize = kLzmaPropertiesSize + 8;  // 13
inline constexpr std::size_t kChunkSize = 16 * 1024 * 1024;
inline constexpr std::size_t kEncodeCapacity = 64 * 1024 * 1024;
// Offsets and lengths are 32-bit words, so no byte of an image may lie beyond this.
inline constexpr uint64_t kMaxImageSize = 0xFFFFFFFF;
// The uncompressed size of a compressed partition must fit a signed 32-bit size.
inline constexpr uint64_t kMaxCompressedFileSize = 0x7FFFFFFF;

struct PartitionEntry {
  uint32_t dataOffset = 0;
  uint32_t startAddress = 0;
  uint32_t dataLength = 0;
  uint32_t partitionSize = 0;
  uint32_t digestOffset = 0;
  uint32_t digestLength = 0;
  uint32_t isCompressed = 0;
  uint32_t reserved = 0;
};

struct ImageHeader {
  uint32_t magic = 0;
  uint32_t partitionCount = 0;
  std::array<PartitionEntry, kMaxPartitions> entries{};
};

struct LzmaPartitionHeader {
  std::array<uint8_t, kLzmaPropertiesSize> properties{};
  uint64_t uncompressedSize = 0;
};

using ImageHeaderBytes = std::array<uint8_t, kImageHeaderSize>;
using LzmaPartitionHeaderBytes = std::array<uint8_t, kLzmaPartitionHeaderSize>;

ImageHeaderBytes SerializeImageHeader(const ImageHeader& header);
ImageHeader ParseImageHeader(const ImageHeaderBytes& bytes);
LzmaPartitionHeaderBytes SerializeLzmaPartitionHeader(const LzmaPartitionHeader& header);
LzmaPartitionHeader ParseLzmaPartitionHeader(const LzmaPartitionHeaderBytes& bytes);

// The entry of a partition whose region starts at dataOffset and holds
// dataLength bytes: its digest follows the region directly.
PartitionEntry MakePartitionEntry(uint32_t dataOffset, uint32_t dataLength, uint32_t startAddress,
                                  uint32_t partitionSize, uint32_t isCompressed);
// Where the region after this entry's digest begins.
uint64_t NextDataOffset(const PartitionEntry& entry);

// Number of chunks a file of the given size is cut into: the last one holds
// the remainder and is empty when the size is a whole number of chunks.
uint64_t ChunkCount(uint64_t fileSize);
// Uncompressed length of chunk `index` of a file of the given size.
uint64_t ChunkLength(uint64_t fileSize, uint64_t index);

void StoreLittleEndian32(uint8_t* bytes, uint32_t value);
void StoreLittleEndian64(uint8_t* bytes, uint64_t value);
uint32_t LoadLittleEndian32(const uint8_t* bytes);
uint64_t LoadLittleEndian64(const uint8_t* bytes);

}  // namespace vantorel
