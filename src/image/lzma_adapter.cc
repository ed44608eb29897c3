// The LZMA encoder adapter: the SDK's calls per partition and per chunk.
#include "image/lzma_adapter.h"

namespace vantorel {

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

SRes LzmaEncoderAdapter::BeginPartition(LzmaProperties& properties) {
  EndPartition();
  partitionEncoder_ = LzmaEnc_Create(allocator_);
  if (partitionEncoder_ == nullptr) return SZ_ERROR_MEM;
  const CLzmaEncProps settings = EncoderSettings();
  // Both calls succeed with these settings; as with LzmaEncode, their results
  // carry no information here.
  LzmaEnc_SetProps(partitionEncoder_, &settings);
  SizeT size = properties.size();
  LzmaEnc_WriteProperties(partitionEncoder_, properties.data(), &size);
  return SZ_OK;
}

// outputLength after a failure is the SDK's: unchanged when the encoder object
// cannot be allocated or the settings are rejected, 0 when its working tables
// cannot be allocated, the capacity when the stream overflows it, and the
// bytes produced otherwise.
SRes LzmaEncoderAdapter::EncodeChunk(const uint8_t* input, std::size_t inputLength, uint8_t* output,
                                     std::size_t outputCapacity, std::size_t& outputLength) const {
  const CLzmaEncProps settings = EncoderSettings();
  Byte scratchProperties[kLzmaPropertiesSize];
  SizeT scratchSize = sizeof scratchProperties;
  SizeT length = outputCapacity;
  const SRes result = LzmaEncode(output, &length, input, inputLength, &settings, scratchProperties,
                                 &scratchSize, 0, nullptr, allocator_, allocator_);
  outputLength = length;
  return result;
}

void LzmaEncoderAdapter::EndPartition() {
  if (partitionEncoder_ == nullptr) return;
  LzmaEnc_Destroy(partitionEncoder_, allocator_, allocator_);
  partitionEncoder_ = nullptr;
}

}  // namespace vantorel
