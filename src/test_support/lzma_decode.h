// Test helper: decodes a raw LZMA stream of known length with the SDK's
// decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vantorel::testing {

struct DecodedStream {
  std::vector<uint8_t> bytes;
  std::size_t consumed = 0;  // compressed bytes the stream took
  bool endMarkSeen = false;
};

// Decodes one raw stream of exactly `length` bytes from `stream` with the
// five property bytes; nullopt when the data is not a valid stream.
std::optional<DecodedStream> DecodeStream(const uint8_t properties[5], const uint8_t* stream,
                                          std::size_t available, std::size_t length);

}  // namespace vantorel::testing
