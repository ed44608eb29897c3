// SHA-1 block compression with the ARMv8 SHA1 instructions. This file alone
// is compiled for them, and its code runs only where the processor has them
// (HWCAP_SHA1). It includes nothing but the intrinsics, so that no shared
// inline function is compiled here with instructions other processors lack.
#include <arm_neon.h>

#include "machinery/sha1_backends.h"

namespace vantorel {
namespace {

struct ShaState {
  uint32x4_t abcd;
  uint32_t e;
  uint32x4_t message[4];
};

// Four rounds: group G of 20. The message words of a group are made from
// those of the four groups before it, whose register they take over.
template <int G>
inline void Rounds(ShaState& s) {
  constexpr uint32_t kConstants[4] = {0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xCA62C1D6};
  constexpr int kCurrent = G % 4;
  uint32x4_t* w = s.message;
  if constexpr (G >= 4) {
    w[kCurrent] =
        vsha1su1q_u32(vsha1su0q_u32(w[kCurrent], w[(G + 1) % 4], w[(G + 2) % 4]), w[(G + 3) % 4]);
  }
  const uint32x4_t wk = vaddq_u32(w[kCurrent], vdupq_n_u32(kConstants[G / 5]));
  // The e of the next group is the a of this one, rotated.
  const uint32_t nextE = vsha1h_u32(vgetq_lane_u32(s.abcd, 0));
  if constexpr (G < 5) {
    s.abcd = vsha1cq_u32(s.abcd, s.e, wk);
  } else if constexpr (G >= 10 && G < 15) {
    s.abcd = vsha1mq_u32(s.abcd, s.e, wk);
  } else {
    s.abcd = vsha1pq_u32(s.abcd, s.e, wk);
  }
  s.e = nextE;
  if constexpr (G < 19) Rounds<G + 1>(s);
}

// Four message words, read big-endian as the format of SHA-1 reads them.
uint32x4_t LoadWords(const uint8_t* bytes) {
  return vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(bytes)));
}

}  // namespace

void Sha1BlocksShaExtensions(uint32_t state[5], const uint8_t* data, std::size_t blocks) {
  ShaState s;
  s.abcd = vld1q_u32(state);
  s.e = state[4];
  for (; blocks > 0; --blocks, data += 64) {
    const uint32x4_t abcdSaved = s.abcd;
    const uint32_t eSaved = s.e;
    for (int i = 0; i < 4; ++i) s.message[i] = LoadWords(data + 16 * i);
    Rounds<0>(s);
    s.abcd = vaddq_u32(s.abcd, abcdSaved);
    s.e += eSaved;
  }
  vst1q_u32(state, s.abcd);
  state[4] = s.e;
}

}  // namespace vantorel
