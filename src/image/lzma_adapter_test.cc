#include "image/lzma_adapter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "test_support/lzma_decode.h"

namespace vantorel {
namespace {

const LzmaProperties kExpectedProperties = {0x5D, 0x00, 0x40, 0x00, 0x00};

// An allocator over the heap that refuses its Nth request (counted from 1; 0
// never refuses) and keeps track of the blocks still out.
struct FailingAllocator {
  struct Table {
    ISzAlloc alloc;
    FailingAllocator* owner;
  } table{{Allocate, Release}, this};
  int failOnCall = 0;
  int calls = 0;
  std::set<void*> live;

  static void* Allocate(void* self, size_t size) {
    auto& a = *static_cast<Table*>(self)->owner;
    if (++a.calls == a.failOnCall) return nullptr;
    void* block = std::malloc(size);
    if (block) a.live.insert(block);
    return block;
  }
  static void Release(void* self, void* block) {
    auto& a = *static_cast<Table*>(self)->owner;
    if (block) a.live.erase(block);
    std::free(block);
  }
};

struct EncodeResult {
  SRes status;
  std::size_t outputLength;
  std::vector<uint8_t> stream;
};

EncodeResult Encode(const LzmaEncoderAdapter& adapter, const std::vector<uint8_t>& input,
                    std::size_t capacity = kEncodeCapacity) {
  std::vector<uint8_t> output(capacity);
  std::size_t length = 0;
  const SRes status =
      adapter.EncodeChunk(input.data(), input.size(), output.data(), capacity, length);
  output.resize(status == SZ_OK ? length : 0);
  return {status, length, output};
}

std::vector<uint8_t> Bytes(std::size_t size, std::mt19937& random, int distinct) {
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random() % distinct);
  return bytes;
}

TEST(LzmaAdapter, PropertyBytesAreFixed) {
  LzmaEncoderAdapter adapter;
  LzmaProperties properties{};
  ASSERT_EQ(adapter.BeginPartition(properties), SZ_OK);
  EXPECT_EQ(properties, kExpectedProperties);
  adapter.EndPartition();
}

TEST(LzmaAdapter, EmptyChunkIsFiveZeroBytes) {
  const EncodeResult result = Encode(LzmaEncoderAdapter{}, {});
  ASSERT_EQ(result.status, SZ_OK);
  EXPECT_EQ(result.stream, std::vector<uint8_t>(5, 0));
}

TEST(LzmaAdapter, StreamsDecodeBackWithoutEndMarker) {
  std::mt19937 random(7);
  std::vector<uint8_t> text;
  while (text.size() < 200000) {
    const char* word = random() % 2 ? "partition " : "firmware\n";
    text.insert(text.end(), word, word + std::char_traits<char>::length(word));
  }
  const std::vector<std::vector<uint8_t>> kInputs = {
      {},
      {42},
      Bytes(100, random, 256),
      Bytes(300000, random, 256),  // incompressible
      std::vector<uint8_t>(1 << 20, 0xAA),
      text,
      Bytes(kChunkSize, random, 4),  // one full chunk
  };
  const LzmaEncoderAdapter adapter;
  for (const auto& input : kInputs) {
    const EncodeResult result = Encode(adapter, input);
    ASSERT_EQ(result.status, SZ_OK) << input.size();
    const auto decoded = testing::DecodeStream(kExpectedProperties.data(), result.stream.data(),
                                               result.stream.size(), input.size());
    ASSERT_TRUE(decoded) << input.size();
    EXPECT_EQ(decoded->bytes, input);
    EXPECT_EQ(decoded->consumed, result.stream.size()) << "stream must end where decoding ends";
    EXPECT_FALSE(decoded->endMarkSeen);
  }
}

TEST(LzmaAdapter, OutputThatDoesNotFitReportsOutputEof) {
  std::mt19937 random(3);
  const EncodeResult result = Encode(LzmaEncoderAdapter{}, Bytes(4096, random, 256), 100);
  EXPECT_EQ(result.status, SZ_ERROR_OUTPUT_EOF);
  EXPECT_EQ(result.outputLength, 100u);
}

// Every allocation the encoder makes is made to fail in turn: the status is
// SZ_ERROR_MEM with the documented outputLength, and nothing stays allocated.
TEST(LzmaAdapter, AllocationFailuresReleaseEverything) {
  const std::vector<uint8_t> input(1000, 1);
  FailingAllocator counter;
  {
    const LzmaEncoderAdapter adapter(&counter.table.alloc);
    ASSERT_EQ(Encode(adapter, input).status, SZ_OK);
  }
  const int allocationsPerChunk = counter.calls;
  ASSERT_GE(allocationsPerChunk, 2);
  for (int n = 1; n <= allocationsPerChunk; ++n) {
    FailingAllocator failing;
    failing.failOnCall = n;
    const LzmaEncoderAdapter adapter(&failing.table.alloc);
    const EncodeResult result = Encode(adapter, input);
    EXPECT_EQ(result.status, SZ_ERROR_MEM) << "failing call " << n;
    // The encoder object comes first; its working tables follow.
    EXPECT_EQ(result.outputLength, n == 1 ? kEncodeCapacity : 0u) << "failing call " << n;
    EXPECT_TRUE(failing.live.empty()) << "failing call " << n;
  }

  FailingAllocator failing;
  failing.failOnCall = 1;
  {
    LzmaEncoderAdapter adapter(&failing.table.alloc);
    LzmaProperties properties{};
    EXPECT_EQ(adapter.BeginPartition(properties), SZ_ERROR_MEM);
    // A later chunk of the same adapter still works: nothing was kept.
    EXPECT_EQ(Encode(adapter, input).status, SZ_OK);
    ASSERT_EQ(adapter.BeginPartition(properties), SZ_OK);
  }  // the destructor ends the partition
  EXPECT_TRUE(failing.live.empty());
}

}  // namespace
}  // namespace vantorel
