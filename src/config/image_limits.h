// What one image can hold. The image format is built on these numbers, and
// the packing rules refuse a list of partitions that breaks them before an
// image is begun, so both state them from here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "machinery/lzma_codec.h"
#include "machinery/sha1.h"

namespace vantorel {

// The header has an entry for each of these, whether used or not.
inline constexpr std::size_t kMaxPartitions = 4;
// The magic, the count and the entries of 32 bytes each.
inline constexpr std::size_t kImageHeaderSize = 8 + kMaxPartitions * 32;          // 136
inline constexpr uint32_t kFirstDataOffset = kImageHeaderSize + kSha1DigestSize;  // 156
// Offsets and lengths are 32-bit words, so no byte of an image may lie beyond this.
inline constexpr uint64_t kMaxImageSize = 0xFFFFFFFF;
// A compressed region opens with the five property bytes and the 64-bit
// size of the original bytes, whatever its streams hold.
inline constexpr std::size_t kLzmaPartitionHeaderSize = kLzmaPropertiesSize + 8;  // 13
// The size of a compressed partition must fit a signed 32-bit size: below 2 GiB.
inline constexpr uint64_t kMaxCompressedFileSize = 0x7FFFFFFF;

}  // namespace vantorel
