// SHA-1 block compression with the x86 SHA extensions. This file alone is
// compiled for them, and its code runs only where the processor has them.
// It includes nothing but the intrinsics, so that no shared inline function
// is compiled here with instructions other processors lack.
#include <immintrin.h>

#include "machinery/sha1_backends.h"

namespace vantorel {
namespace {

constexpr int kPrefetchDistance = 2048;

struct ShaState {
  __m128i abcd;
  __m128i e0;
  __m128i e1;
  __m128i message[4];
};

// Four rounds: group I of 20. The message words rotate through four
// registers, each scheduled three groups before it is consumed.
template <int I>
inline void Rounds(ShaState& s, const uint8_t* data) {
  constexpr int kCurrent = I % 4;
  __m128i& e = (I % 2 == 0) ? s.e0 : s.e1;
  __m128i& next = (I % 2 == 0) ? s.e1 : s.e0;
  if constexpr (I < 4) {
    const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    s.message[kCurrent] = _mm_shuffle_epi8(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * I)), byteSwap);
  }
  if constexpr (I == 0) {
    e = _mm_add_epi32(e, s.message[0]);
  } else {
    e = _mm_sha1nexte_epu32(e, s.message[kCurrent]);
  }
  next = s.abcd;
  s.abcd = _mm_sha1rnds4_epu32(s.abcd, e, I / 5);
  if constexpr (I >= 3 && I <= 18) {
    s.message[(I + 1) % 4] = _mm_sha1msg2_epu32(s.message[(I + 1) % 4], s.message[kCurrent]);
  }
  if constexpr (I >= 1 && I <= 16) {
    s.message[(I + 3) % 4] = _mm_sha1msg1_epu32(s.message[(I + 3) % 4], s.message[kCurrent]);
  }
  if constexpr (I >= 2 && I <= 17) {
    s.message[(I + 2) % 4] = _mm_xor_si128(s.message[(I + 2) % 4], s.message[kCurrent]);
  }
  if constexpr (I < 19) Rounds<I + 1>(s, data);
}

}  // namespace

void Sha1BlocksShaExtensions(uint32_t state[5], const uint8_t* data, std::size_t blocks) {
  ShaState s;
  s.abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  s.e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; blocks > 0; --blocks, data += 64) {
    // The rounds form one long dependency chain, so the loads of later blocks
    // are asked for early; without this, data beyond the caches halves speed.
    _mm_prefetch(reinterpret_cast<const char*>(data + kPrefetchDistance), _MM_HINT_T0);
    const __m128i abcdSaved = s.abcd;
    const __m128i eSaved = s.e0;
    Rounds<0>(s, data);
    s.e0 = _mm_sha1nexte_epu32(s.e0, eSaved);
    s.abcd = _mm_add_epi32(s.abcd, abcdSaved);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(s.abcd, 0x1B));
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(s.e0, 3));
}

}  // namespace vantorel
