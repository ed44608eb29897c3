// Streaming SHA-1 (FIPS 180-4), the digest behind every checksum in an image.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantorel {

inline constexpr std::size_t kSha1DigestSize = 20;
inline constexpr std::size_t kSha1BlockSize = 64;

struct Sha1Context {
  uint32_t state[5];
  uint32_t bitCount[2];  // low word first, modulo 2^64
  uint8_t block[kSha1BlockSize];
};

void Sha1Init(Sha1Context& context);
void Sha1Update(Sha1Context& context, const uint8_t* data, uint32_t length);
// Writes the digest and then zeroes the whole context.
void Sha1Final(Sha1Context& context, uint8_t digest[kSha1DigestSize]);
// The compression function; reads the block and never writes it.
void Sha1Transform(uint32_t state[5], const uint8_t block[kSha1BlockSize]);

}  // namespace vantorel
