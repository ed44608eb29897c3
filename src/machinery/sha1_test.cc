#include "machinery/sha1.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/hex.h"
#include "machinery/sha1_backends.h"
#include "test_support/inputs.h"

namespace vantorel {
namespace {

// Runs the check once per backend, the fast one only where the processor
// has it, and restores the one chosen before.
template <typename Check>
void ForEachBackend(Check check) {
  for (const Sha1Backend backend : {Sha1Backend::kPortable, Sha1Backend::kShaExtensions}) {
    const auto saved = SelectSha1Backend(backend);
    if (!saved) continue;
    SCOPED_TRACE(backend == Sha1Backend::kPortable ? "portable" : "SHA extensions");
    check();
    SelectSha1Backend(*saved);
  }
}

// The digest of `message` fed in pieces of the given lengths, each piece
// taken from the message's start again unless `consecutive`.
std::string DigestOfPieces(const std::vector<uint8_t>& message,
                           const std::vector<std::size_t>& pieceLengths, bool consecutive = true) {
  Sha1Context context;
  Sha1Init(context);
  std::size_t offset = 0;
  for (std::size_t length : pieceLengths) {
    Sha1Update(context, message.data() + offset, static_cast<uint32_t>(length));
    if (consecutive) offset += length;
  }
  uint8_t digest[kSha1DigestSize];
  Sha1Final(context, digest);
  return HexDigits(digest);
}

std::string DigestOf(const std::string& text) {
  return DigestOfPieces(std::vector<uint8_t>(text.begin(), text.end()), {text.size()});
}

TEST(Sha1, StandardVectorsAndPaddingBoundaries) {
  const struct {
    std::string message;
    const char* digest;
  } kCases[] = {
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      // Lengths around the end of the padding block, digests from sha1sum.
      {std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
      {std::string(56, 'a'), "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
      {std::string(63, 'a'), "03f09f5b158a7a8cdad920bddc29b81c18a551f5"},
      {std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
      {std::string(65, 'a'), "11655326c708d70319be2610e8a57d9a5b959d3b"},
      {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  ForEachBackend([&] {
    for (const auto& c : kCases) {
      EXPECT_EQ(DigestOf(c.message), c.digest) << "length " << c.message.size();
    }
  });
}

TEST(Sha1, AnySplitIntoPiecesGivesTheSameDigest) {
  std::mt19937 random(20261206);
  const std::vector<uint8_t> message = testing::RandomBytes(5000, 20261206);
  const std::string whole = DigestOfPieces(message, {message.size()});
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<std::size_t> pieces;
    std::size_t left = message.size();
    while (left > 0) {
      // Zero-length pieces and pieces that straddle block boundaries alike.
      const std::size_t length = std::min<std::size_t>(left, random() % 150);
      pieces.push_back(length);
      left -= length;
    }
    ASSERT_EQ(DigestOfPieces(message, pieces), whole) << "trial " << trial;
  }
}

// Past 512 MiB the bit count carries into its high word, in the middle of
// a piece here. The digest is hashlib's:
//   python3 -c "import hashlib; h = hashlib.sha1(); b = bytes(i % 251 for i in range(1000003));
//               [h.update(b) for _ in range(537)]; print(h.hexdigest())"
// Slow under emulation, hence its suite's name.
TEST(Sha1Slow, MoreThan512MiBInOneContext) {
  std::vector<uint8_t> piece(1000003);
  for (std::size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<uint8_t>(i % 251);
  EXPECT_EQ(DigestOfPieces(piece, std::vector<std::size_t>(537, piece.size()), false),
            "6a5baeb114a87a0375acee169c8f08107d7d5ee6");
}

TEST(Sha1Backends, ShaExtensionsAgreeWithThePortableCode) {
  if (!ProcessorHasShaExtensions()) GTEST_SKIP() << "no SHA extensions on this processor";
  std::mt19937 random(99);
  for (int trial = 0; trial < 200; ++trial) {
    const std::size_t blocks = 1 + random() % 40;
    std::vector<uint8_t> data(blocks * kSha1BlockSize);
    for (auto& b : data) b = static_cast<uint8_t>(random());
    uint32_t portable[5], fast[5];
    for (int i = 0; i < 5; ++i) portable[i] = fast[i] = static_cast<uint32_t>(random());
    Sha1BlocksPortable(portable, data.data(), blocks);
    Sha1BlocksShaExtensions(fast, data.data(), blocks);
    ASSERT_EQ(std::vector<uint32_t>(portable, portable + 5), std::vector<uint32_t>(fast, fast + 5))
        << "trial " << trial;
  }
}

}  // namespace
}  // namespace vantorel
