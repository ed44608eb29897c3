// Streaming SHA-1 (FIPS 180-4).
#include "image/sha1.h"

#include <cstring>

namespace vantorel {
namespace {

constexpr uint32_t RotateLeft(uint32_t value, int bits) {
  return (value << bits) | (value >> (32 - bits));
}

uint32_t LoadBigEndian32(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

uint32_t BytesWaiting(const Sha1Context& context) { return (context.bitCount[0] >> 3) & 63; }

}  // namespace

void Sha1Init(Sha1Context& context) {
  context.state[0] = 0x67452301;
  context.state[1] = 0xEFCDAB89;
  context.state[2] = 0x98BADCFE;
  context.state[3] = 0x10325476;
  context.state[4] = 0xC3D2E1F0;
  context.bitCount[0] = 0;
  context.bitCount[1] = 0;
}

void Sha1Transform(uint32_t state[5], const uint8_t block[kSha1BlockSize]) {
  uint32_t w[80];
  for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian32(block + 4 * t);
  for (int t = 16; t < 80; ++t) w[t] = RotateLeft(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int t = 0; t < 80; ++t) {
    uint32_t f, k;
    if (t < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (t < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (t < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t temp = RotateLeft(a, 5) + f + e + k + w[t];
    e = d;
    d = c;
    c = RotateLeft(b, 30);
    b = a;
    a = temp;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

void Sha1Update(Sha1Context& context, const uint8_t* data, uint32_t length) {
  const uint32_t waiting = BytesWaiting(context);
  const uint32_t oldLow = context.bitCount[0];
  context.bitCount[0] += length << 3;
  if (context.bitCount[0] < oldLow) ++context.bitCount[1];
  context.bitCount[1] += length >> 29;

  uint32_t used = 0;
  if (waiting + uint64_t{length} >= kSha1BlockSize) {
    used = kSha1BlockSize - waiting;
    std::memcpy(context.block + waiting, data, used);
    Sha1Transform(context.state, context.block);
    for (; length - used >= kSha1BlockSize; used += kSha1BlockSize) {
      Sha1Transform(context.state, data + used);
    }
    if (length > used) std::memcpy(context.block, data + used, length - used);
  } else if (length > 0) {
    std::memcpy(context.block + waiting, data, length);
  }
}

void Sha1Final(Sha1Context& context, uint8_t digest[kSha1DigestSize]) {
  uint8_t countBytes[8];
  for (int i = 0; i < 4; ++i) {
    countBytes[i] = static_cast<uint8_t>(context.bitCount[1] >> (24 - 8 * i));
    countBytes[4 + i] = static_cast<uint8_t>(context.bitCount[0] >> (24 - 8 * i));
  }
  // One 0x80 byte, zeros up to 56 bytes into a block, then the count.
  uint8_t padding[kSha1BlockSize + 8] = {0x80};
  const uint32_t waiting = BytesWaiting(context);
  const uint32_t padLength = (waiting < 56 ? 56 : 120) - waiting;
  Sha1Update(context, padding, padLength);
  Sha1Update(context, countBytes, sizeof countBytes);

  for (int i = 0; i < 20; ++i) {
    digest[i] = static_cast<uint8_t>(context.state[i / 4] >> (24 - 8 * (i % 4)));
  }
  // volatile so that the compiler keeps the clearing of a context about to die.
  volatile uint8_t* bytes = reinterpret_cast<volatile uint8_t*>(&context);
  for (std::size_t i = 0; i < sizeof context; ++i) bytes[i] = 0;
}

}  // namespace vantorel
