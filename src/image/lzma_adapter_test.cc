#include "image/lzma_adapter.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_support/inputs.h"

namespace vantorel {
namespace {

using ::vantorel::testing::FailingAllocator;

struct EncodeResult {
  SRes status;
  std::size_t outputLength;
};

EncodeResult Encode(const LzmaEncoderAdapter& adapter, const std::vector<uint8_t>& input,
                    std::size_t capacity = kEncodeCapacity) {
  std::vector<uint8_t> output(capacity);
  std::size_t length = 0;
  const SRes status =
      adapter.EncodeChunk(input.data(), input.size(), output.data(), capacity, length);
  return {status, length};
}

// The streams themselves are pinned by the writer's golden images.
TEST(LzmaAdapter, OutputThatDoesNotFitReportsOutputEof) {
  const EncodeResult result = Encode(LzmaEncoderAdapter{}, testing::RandomBytes(4096, 3), 100);
  EXPECT_EQ(result.status, SZ_ERROR_OUTPUT_EOF);
  EXPECT_EQ(result.outputLength, 100u);
}

// Every allocation the encoder makes is made to fail in turn: the status is
// SZ_ERROR_MEM with the documented outputLength, and nothing stays allocated.
TEST(LzmaAdapter, AllocationFailuresReleaseEverything) {
  const std::vector<uint8_t> input(1000, 1);
  FailingAllocator counter;
  {
    const LzmaEncoderAdapter adapter(counter.get());
    ASSERT_EQ(Encode(adapter, input).status, SZ_OK);
  }
  const int allocationsPerChunk = counter.calls();
  ASSERT_GE(allocationsPerChunk, 2);
  for (int n = 1; n <= allocationsPerChunk; ++n) {
    FailingAllocator failing(n);
    const LzmaEncoderAdapter adapter(failing.get());
    const EncodeResult result = Encode(adapter, input);
    EXPECT_EQ(result.status, SZ_ERROR_MEM) << "failing call " << n;
    // The encoder object comes first; its working tables follow.
    EXPECT_EQ(result.outputLength, n == 1 ? kEncodeCapacity : 0u) << "failing call " << n;
    EXPECT_TRUE(failing.AllReleased()) << "failing call " << n;
  }

  FailingAllocator failing(1);
  {
    LzmaEncoderAdapter adapter(failing.get());
    LzmaProperties properties{};
    EXPECT_EQ(adapter.BeginPartition(properties), SZ_ERROR_MEM);
    // A later chunk of the same adapter still works: nothing was kept.
    EXPECT_EQ(Encode(adapter, input).status, SZ_OK);
    ASSERT_EQ(adapter.BeginPartition(properties), SZ_OK);
    EXPECT_EQ(properties, kLzmaProperties);
  }  // the destructor ends the partition
  EXPECT_TRUE(failing.AllReleased());
}

}  // namespace
}  // namespace vantorel
