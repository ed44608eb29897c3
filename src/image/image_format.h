// The update image's records, constants and offset arithmetic, with explicit
// little-endian serialisation so that the bytes never depend on the host.
// Every fact of the format is stated once: here, or in config/image_limits.h
// for the limits the packing rules check as well; messages that name a limit
// are built from these constants.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "config/image_limits.h"
#include "machinery/lzma_codec.h"
#include "machinery/sha1.h"

namespace vantorel {

inline constexpr uint32_t kImageMagic = 0x004D4D4D;
inline constexpr std::array<uint8_t, 4> kImageMagicBytes = {
    static_cast<uint8_t>(kImageMagic), static_cast<uint8_t>(kImageMagic >> 8),
    static_cast<uint8_t>(kImageMagic >> 16), static_cast<uint8_t>(kImageMagic >> 24)};
inline constexpr std::size_t kPartitionCountOffset = 4;
inline constexpr std::size_t kFirstEntryOffset = 8;
inline constexpr std::size_t kPartitionEntrySize = 32;
// The limits of an image (config/image_limits.h) agree with its layout.
static_assert(kImageHeaderSize == kFirstEntryOffset + kMaxPartitions * kPartitionEntrySize);

// A compressed region: the five LZMA property bytes and the 64-bit size of
// the original bytes, then one raw LZMA stream per chunk of the original.
inline constexpr std::size_t kChunkSize = 16 * 1024 * 1024;
inline constexpr std::size_t kEncodeCapacity = 64 * 1024 * 1024;

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

// The eight words of an entry, in their order in the file.
enum class EntryField {
  kDataOffset,
  kStartAddress,
  kDataLength,
  kPartitionSize,
  kDigestOffset,
  kDigestLength,
  kIsCompressed,
  kReserved
};
inline constexpr std::size_t kEntryFields = 8;

// Offset in the file of one field of entry `index`.
constexpr std::size_t EntryFieldOffset(std::size_t index, EntryField field) {
  return kFirstEntryOffset + index * kPartitionEntrySize + 4 * static_cast<std::size_t>(field);
}

struct ImageHeader {
  uint32_t magic = 0;
  uint32_t partitionCount = 0;
  std::array<PartitionEntry, kMaxPartitions> entries{};
};

struct LzmaPartitionHeader {
  LzmaProperties properties{};
  uint64_t uncompressedSize = 0;
};

using ImageHeaderBytes = std::array<uint8_t, kImageHeaderSize>;
// The header followed by its digest: the first kFirstDataOffset bytes of an image.
using ImageHeadBytes = std::array<uint8_t, kFirstDataOffset>;
using LzmaPartitionHeaderBytes = std::array<uint8_t, kLzmaPartitionHeaderSize>;

// The header's bytes and their SHA-1, as they open the image.
ImageHeadBytes SerializeImageHead(const ImageHeader& header);
ImageHeader ParseImageHeader(const ImageHeaderBytes& bytes);
LzmaPartitionHeaderBytes SerializeLzmaPartitionHeader(const LzmaPartitionHeader& header);
LzmaPartitionHeader ParseLzmaPartitionHeader(const LzmaPartitionHeaderBytes& bytes);

// The entry's eight words in file order.
std::array<uint32_t, kEntryFields> EntryWords(const PartitionEntry& entry);

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
