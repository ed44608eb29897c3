// Streaming SHA-1 (FIPS 180-4), the digest behind every checksum in an image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantorel {

inline constexpr std::size_t kSha1DigestSize = 20;
inline constexpr std::size_t kSha1BlockSize = 64;

using Sha1Digest = std::array<uint8_t, kSha1DigestSize>;

struct Sha1Context {
  uint32_t state[5];
  uint32_t bitCount[2];  // low word first, modulo 2^64
  uint8_t block[kSha1BlockSize];
};

// Starts a digest.
void Sha1Init(Sha1Context& context);
// Absorbs `length` bytes; any length, zero included.
void Sha1Update(Sha1Context& context, const uint8_t* data, uint32_t length);
// Writes the digest and then zeroes the whole context, which must be
// initialised again before further use.
void Sha1Final(Sha1Context& context, uint8_t digest[kSha1DigestSize]);

// The digest of `length` bytes, in one call.
Sha1Digest Sha1Of(const uint8_t* data, std::size_t length);

}  // namespace vantorel
