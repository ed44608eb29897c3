// The thin layer over the LZMA SDK's encoder: fixed settings, the heap
// allocator handed to it, and one fresh encoder per chunk.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "LzmaEnc.h"
#include "image/heap_allocator.h"
#include "image/image_format.h"

namespace vantorel {

// Level 0 with a 16 KiB dictionary; every other field as the SDK defaults it,
// but for numHashBytes, fixed at 4 so that later SDK releases keep the same
// four-byte hash-chain matcher.
CLzmaEncProps EncoderSettings();

using LzmaProperties = std::array<uint8_t, kLzmaPropertiesSize>;

class LzmaEncoderAdapter {
 public:
  explicit LzmaEncoderAdapter(ISzAlloc* allocator = &HeapAllocator) : allocator_(allocator) {}
  ~LzmaEncoderAdapter() { EndPartition(); }
  LzmaEncoderAdapter(const LzmaEncoderAdapter&) = delete;
  LzmaEncoderAdapter& operator=(const LzmaEncoderAdapter&) = delete;

  // Creates the partition's encoder and writes its five property bytes.
  // SZ_ERROR_MEM when the encoder cannot be allocated; nothing is kept then.
  SRes BeginPartition(LzmaProperties& properties);

  // Compresses one chunk with a fresh encoder into one raw stream without end
  // marker. outputLength is what the SDK leaves in it (see lzma_adapter.cc).
  SRes EncodeChunk(const uint8_t* input, std::size_t inputLength, uint8_t* output,
                   std::size_t outputCapacity, std::size_t& outputLength) const;

  // Destroys the partition's encoder; harmless when there is none.
  void EndPartition();

 private:
  ISzAlloc* allocator_;
  CLzmaEncHandle partitionEncoder_ = nullptr;
};

}  // namespace vantorel
