// The LZMA codec: the SDK's calls per chunk, encoding and decoding.
#include "machinery/lzma_codec.h"

#include <cstdlib>

namespace vantorel {
namespace {

void* HeapAlloc(void*, size_t size) { return std::malloc(size); }
void HeapFree(void*, void* address) { std::free(address); }

// Level 0 with a 16 KiB dictionary; every other field as the SDK defaults it,
// but for numHashBytes, fixed at 4 so that later SDK releases keep the same
// four-byte hash-chain matcher. Their property bytes are kLzmaProperties.
CLzmaEncProps EncoderSettings() {
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.level = 0;
  props.dictSize = kLzmaDictionarySize;
  // What level 0 gives anyway; stated, so that the property bytes follow
  // from the same constants.
  props.lc = kLzmaLiteralContextBits;
  props.lp = kLzmaLiteralPositionBits;
  props.pb = kLzmaPositionBits;
  props.numHashBytes = 4;
  return props;
}

}  // namespace

ISzAlloc HeapAllocator = {HeapAlloc, HeapFree};

SRes LzmaEncoder::CheckAvailable() const {
  const CLzmaEncHandle encoder = LzmaEnc_Create(allocator_);
  if (encoder == nullptr) return SZ_ERROR_MEM;
  LzmaEnc_Destroy(encoder, allocator_, allocator_);
  return SZ_OK;
}

// outputLength after a failure is the SDK's: unchanged when the encoder object
// cannot be allocated or the settings are rejected, 0 when its working tables
// cannot be allocated, the capacity when the stream overflows it, and the
// bytes produced otherwise.
SRes LzmaEncoder::EncodeChunk(const uint8_t* input, std::size_t inputLength, uint8_t* output,
                              std::size_t outputCapacity, std::size_t& outputLength) const {
  const CLzmaEncProps settings = EncoderSettings();
  // The SDK hands out the property bytes of every stream; the image holds
  // them once per partition, and they are kLzmaProperties.
  Byte scratchProperties[kLzmaPropertiesSize];
  SizeT scratchSize = sizeof scratchProperties;
  SizeT length = outputCapacity;
  const SRes result = LzmaEncode(output, &length, input, inputLength, &settings, scratchProperties,
                                 &scratchSize, 0, nullptr, allocator_, allocator_);
  outputLength = length;
  return result;
}

LzmaDecoder::LzmaDecoder(ISzAlloc* allocator) : allocator_(allocator) {
  LzmaDec_Construct(&state_);
}

LzmaDecoder::~LzmaDecoder() { LzmaDec_Free(&state_, allocator_); }

bool LzmaDecoder::Allocate() {
  return LzmaDec_Allocate(&state_, kLzmaProperties.data(), kLzmaPropertiesSize, allocator_) ==
         SZ_OK;
}

void LzmaDecoder::StartStream() { LzmaDec_Init(&state_); }

LzmaDecoder::Step LzmaDecoder::Decode(const uint8_t* input, std::size_t inputLength,
                                      uint8_t* output, std::size_t outputCapacity,
                                      bool lastOutput) {
  // The decoder moves its pointers by zero bytes too, which is undefined on
  // a null pointer: an empty buffer may have none.
  static uint8_t nothing = 0;
  if (inputLength == 0) input = &nothing;
  if (outputCapacity == 0) output = &nothing;
  SizeT consumed = inputLength;
  SizeT produced = outputCapacity;
  Step step;
  step.result = LzmaDec_DecodeToBuf(&state_, output, &produced, input, &consumed,
                                    lastOutput ? LZMA_FINISH_END : LZMA_FINISH_ANY, &step.status);
  step.consumed = consumed;
  step.produced = produced;
  return step;
}

}  // namespace vantorel
