#include "test_support/lzma_decode.h"

#include <algorithm>

#include "LzmaDec.h"
#include "image/image_format.h"
#include "image/lzma_adapter.h"

namespace vantorel::testing {

std::optional<DecodedStream> DecodeStream(const uint8_t properties[5], const uint8_t* stream,
                                          std::size_t available, std::size_t length) {
  DecodedStream result;
  result.bytes.resize(length);
  SizeT outLength = length;
  SizeT inLength = available;
  ELzmaStatus status;
  const SRes res = LzmaDecode(result.bytes.data(), &outLength, stream, &inLength, properties,
                              kLzmaPropertiesSize, LZMA_FINISH_ANY, &status, &HeapAllocator);
  if (res != SZ_OK || outLength != length) return std::nullopt;
  result.consumed = inLength;
  result.endMarkSeen = status == LZMA_STATUS_FINISHED_WITH_MARK;
  return result;
}

std::optional<std::vector<uint8_t>> DecodeRegion(const std::vector<uint8_t>& region) {
  if (region.size() < kLzmaPartitionHeaderSize) return std::nullopt;
  LzmaPartitionHeaderBytes headerBytes;
  std::copy_n(region.begin(), headerBytes.size(), headerBytes.begin());
  const LzmaPartitionHeader header = ParseLzmaPartitionHeader(headerBytes);
  std::vector<uint8_t> original;
  std::size_t position = kLzmaPartitionHeaderSize;
  for (uint64_t k = 0; k < ChunkCount(header.uncompressedSize); ++k) {
    const auto chunk =
        DecodeStream(header.properties.data(), region.data() + position, region.size() - position,
                     ChunkLength(header.uncompressedSize, k));
    if (!chunk || chunk->endMarkSeen) return std::nullopt;
    original.insert(original.end(), chunk->bytes.begin(), chunk->bytes.end());
    position += chunk->consumed;
  }
  if (position != region.size()) return std::nullopt;
  return original;
}

}  // namespace vantorel::testing
