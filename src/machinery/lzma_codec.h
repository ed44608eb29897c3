// The LZMA codec of compressed regions: the fixed encoder settings and the
// property bytes they give, the heap allocator handed to the SDK, and the
// thin encoder and decoder over the SDK's calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "LzmaDec.h"
#include "LzmaEnc.h"

namespace vantorel {

// The encoder's settings that the property bytes record.
inline constexpr std::size_t kLzmaPropertiesSize = 5;
inline constexpr unsigned kLzmaLiteralContextBits = 3;
inline constexpr unsigned kLzmaLiteralPositionBits = 0;
inline constexpr unsigned kLzmaPositionBits = 2;
inline constexpr uint32_t kLzmaDictionarySize = 16 * 1024;
using LzmaProperties = std::array<uint8_t, kLzmaPropertiesSize>;
inline constexpr LzmaProperties kLzmaProperties = {
    static_cast<uint8_t>((kLzmaPositionBits * 5 + kLzmaLiteralPositionBits) * 9 +
                         kLzmaLiteralContextBits),
    static_cast<uint8_t>(kLzmaDictionarySize), static_cast<uint8_t>(kLzmaDictionarySize >> 8),
    static_cast<uint8_t>(kLzmaDictionarySize >> 16),
    static_cast<uint8_t>(kLzmaDictionarySize >> 24)};  // 5D 00 40 00 00

// Allocates with malloc (null when the heap is exhausted) and releases with
// free (null accepted); no size check, no header. The same record serves
// every allocation of the encoder and the decoder.
extern ISzAlloc HeapAllocator;

class LzmaEncoder {
 public:
  explicit LzmaEncoder(ISzAlloc* allocator = &HeapAllocator) : allocator_(allocator) {}

  // Creates an encoder and destroys it again: SZ_ERROR_MEM when none can be
  // had, so that a partition is refused before any of its bytes is written.
  SRes CheckAvailable() const;

  // Compresses one chunk with a fresh encoder into one raw stream without end
  // marker. outputLength is what the SDK leaves in it (see lzma_codec.cc).
  // Safe from several threads at once.
  SRes EncodeChunk(const uint8_t* input, std::size_t inputLength, uint8_t* output,
                   std::size_t outputCapacity, std::size_t& outputLength) const;

 private:
  ISzAlloc* allocator_;
};

// Decodes raw streams made with kLzmaProperties, one after another, from
// pieces of any size; owns the probability tables and the dictionary.
class LzmaDecoder {
 public:
  explicit LzmaDecoder(ISzAlloc* allocator = &HeapAllocator);
  ~LzmaDecoder();
  LzmaDecoder(const LzmaDecoder&) = delete;
  LzmaDecoder& operator=(const LzmaDecoder&) = delete;

  // Obtains the tables and the dictionary; false when memory is refused.
  // Must succeed before the first StartStream.
  bool Allocate();
  // Begins the next stream with an empty dictionary.
  void StartStream();

  struct Step {
    SRes result = SZ_OK;  // SZ_ERROR_DATA for bytes that do not decode
    ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
    std::size_t consumed = 0;  // bytes of the input
    std::size_t produced = 0;  // bytes of the output
  };
  // Decodes from `input` into `output` as far as either goes. `lastOutput`:
  // the stream's original bytes end with this output, so the stream must end
  // there too.
  Step Decode(const uint8_t* input, std::size_t inputLength, uint8_t* output,
              std::size_t outputCapacity, bool lastOutput);

 private:
  ISzAlloc* allocator_;
  CLzmaDec state_;
};

}  // namespace vantorel
