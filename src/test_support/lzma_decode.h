// Test helper: decodes the raw LZMA streams of a compressed region with the
// SDK's decoder, one known-length chunk at a time.
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

// Decodes a whole compressed region (13-byte header, then one stream per
// 16 MiB chunk) and checks that the streams end exactly at its end.
std::optional<std::vector<uint8_t>> DecodeRegion(const std::vector<uint8_t>& region);

}  // namespace vantorel::testing
