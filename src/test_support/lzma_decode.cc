// Decoding of one raw LZMA stream with the SDK's decoder, for tests.
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

}  // namespace vantorel::testing
