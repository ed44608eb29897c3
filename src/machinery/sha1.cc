// Streaming SHA-1 (FIPS 180-4) over the fastest block function the
// processor allows.
#include "machinery/sha1.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#elif defined(__aarch64__) && defined(__linux__)
#include <sys/auxv.h>
#endif

#include <atomic>
#include <cstring>

#include "machinery/sha1_backends.h"

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

// The 80 steps are unrolled in groups of five, with the message schedule kept
// as a rolling window of 16 words; this is where packing spends its time for
// plain partitions.
template <int kRound>
inline void Step(uint32_t a, uint32_t& b, uint32_t c, uint32_t d, uint32_t& e, uint32_t w) {
  uint32_t f, k;
  if constexpr (kRound == 0) {
    f = d ^ (b & (c ^ d));
    k = 0x5A827999;
  } else if constexpr (kRound == 1) {
    f = b ^ c ^ d;
    k = 0x6ED9EBA1;
  } else if constexpr (kRound == 2) {
    f = (b & c) | (d & (b | c));
    k = 0x8F1BBCDC;
  } else {
    f = b ^ c ^ d;
    k = 0xCA62C1D6;
  }
  e += RotateLeft(a, 5) + f + k + w;
  b = RotateLeft(b, 30);
}

inline uint32_t Schedule(uint32_t w[16], int t) {
  const uint32_t value =
      RotateLeft(w[(t + 13) & 15] ^ w[(t + 8) & 15] ^ w[(t + 2) & 15] ^ w[t & 15], 1);
  w[t & 15] = value;
  return value;
}

template <int kRound>
inline void FiveSteps(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t& e,
                      uint32_t w[16], int t) {
  const auto word = [&](int i) { return t + i < 16 ? w[t + i] : Schedule(w, t + i); };
  Step<kRound>(a, b, c, d, e, word(0));
  Step<kRound>(e, a, b, c, d, word(1));
  Step<kRound>(d, e, a, b, c, word(2));
  Step<kRound>(c, d, e, a, b, word(3));
  Step<kRound>(b, c, d, e, a, word(4));
}

void CompressBlock(uint32_t state[5], const uint8_t* block) {
  uint32_t w[16];
  for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian32(block + 4 * t);

  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int t = 0; t < 20; t += 5) FiveSteps<0>(a, b, c, d, e, w, t);
  for (int t = 20; t < 40; t += 5) FiveSteps<1>(a, b, c, d, e, w, t);
  for (int t = 40; t < 60; t += 5) FiveSteps<2>(a, b, c, d, e, w, t);
  for (int t = 60; t < 80; t += 5) FiveSteps<3>(a, b, c, d, e, w, t);
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

bool ProcessorSupportsShaExtensions() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool ssse3 = ecx & (1u << 9);
  const bool sse41 = ecx & (1u << 19);
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  const bool sha = ebx & (1u << 29);
  return ssse3 && sse41 && sha;
#elif defined(__aarch64__) && defined(__linux__)
  return (getauxval(AT_HWCAP) & HWCAP_SHA1) != 0;
#else
  return false;
#endif
}

using BlockFunction = void (*)(uint32_t state[5], const uint8_t* data, std::size_t blocks);

BlockFunction FunctionOf(Sha1Backend backend) {
  return backend == Sha1Backend::kShaExtensions ? Sha1BlocksShaExtensions : Sha1BlocksPortable;
}

std::atomic<Sha1Backend>& Backend() {
  static std::atomic<Sha1Backend> backend{ProcessorHasShaExtensions() ? Sha1Backend::kShaExtensions
                                                                      : Sha1Backend::kPortable};
  return backend;
}

void CompressBlocks(uint32_t state[5], const uint8_t* data, std::size_t blocks) {
  FunctionOf(Backend().load(std::memory_order_relaxed))(state, data, blocks);
}

}  // namespace

void Sha1BlocksPortable(uint32_t state[5], const uint8_t* data, std::size_t blocks) {
  for (; blocks > 0; --blocks, data += kSha1BlockSize) CompressBlock(state, data);
}

bool ProcessorHasShaExtensions() {
  static const bool supported = ProcessorSupportsShaExtensions();
  return supported;
}

std::optional<Sha1Backend> SelectSha1Backend(Sha1Backend backend) {
  if (backend == Sha1Backend::kShaExtensions && !ProcessorHasShaExtensions()) return std::nullopt;
  return Backend().exchange(backend);
}

void Sha1Init(Sha1Context& context) {
  context.state[0] = 0x67452301;
  context.state[1] = 0xEFCDAB89;
  context.state[2] = 0x98BADCFE;
  context.state[3] = 0x10325476;
  context.state[4] = 0xC3D2E1F0;
  context.bitCount[0] = 0;
  context.bitCount[1] = 0;
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
    CompressBlocks(context.state, context.block, 1);
    const std::size_t blocks = (length - used) / kSha1BlockSize;
    CompressBlocks(context.state, data + used, blocks);
    used += static_cast<uint32_t>(blocks * kSha1BlockSize);
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

Sha1Digest Sha1Of(const uint8_t* data, std::size_t length) {
  Sha1Context context;
  Sha1Init(context);
  // Sha1Update takes 32-bit lengths; larger inputs go in pieces.
  constexpr std::size_t kPiece = std::size_t{1} << 30;
  for (; length > kPiece; length -= kPiece, data += kPiece) Sha1Update(context, data, kPiece);
  Sha1Update(context, data, static_cast<uint32_t>(length));
  Sha1Digest digest;
  Sha1Final(context, digest.data());
  return digest;
}

}  // namespace vantorel
