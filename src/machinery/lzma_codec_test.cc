#include "machinery/lzma_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "test_support/inputs.h"

namespace vantorel {
namespace {

using ::vantorel::testing::FailingAllocator;
using ::vantorel::testing::RandomBytes;
using Bytes = std::vector<uint8_t>;

Bytes Encode(const Bytes& input, SRes& status, std::size_t capacity) {
  Bytes stream(capacity);
  std::size_t length = 0;
  status = LzmaEncoder().EncodeChunk(input.data(), input.size(), stream.data(), capacity, length);
  stream.resize(std::min(length, capacity));
  return stream;
}

struct Decoded {
  SRes result = SZ_OK;
  bool complete = false;  // every original byte, and the stream ends with them
  Bytes bytes;
};

// Decodes `stream`, fed and drained in pieces of `piece` bytes, expecting
// `originalLength` bytes, as a reader of a region does.
Decoded Decode(const Bytes& stream, std::size_t originalLength, std::size_t piece) {
  LzmaDecoder decoder;
  EXPECT_TRUE(decoder.Allocate());
  decoder.StartStream();
  Decoded decoded;
  std::size_t in = 0;
  Bytes output(piece);
  for (;;) {
    const std::size_t capacity = std::min(originalLength - decoded.bytes.size(), piece);
    const bool last = capacity == originalLength - decoded.bytes.size();
    const std::size_t available = std::min(stream.size() - in, piece);
    const LzmaDecoder::Step step =
        decoder.Decode(stream.data() + in, available, output.data(), capacity, last);
    in += step.consumed;
    decoded.bytes.insert(decoded.bytes.end(), output.begin(), output.begin() + step.produced);
    decoded.result = step.result;
    if (step.result != SZ_OK) return decoded;
    if (decoded.bytes.size() == originalLength &&
        step.status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK) {
      decoded.complete = true;
      return decoded;
    }
    if (step.consumed == 0 && step.produced == 0) return decoded;  // the stream ran out
  }
}

// What the encoder makes, the decoder gives back, whatever the pieces.
TEST(LzmaCodec, RoundTrip) {
  const struct {
    const char* label;
    Bytes input;
  } kCases[] = {
      {"empty", {}},
      {"one byte", {0x42}},
      {"incompressible", RandomBytes(70000, 5)},
      {"repetitive, past the dictionary", RandomBytes(300000, 6, 3)},
  };
  for (const auto& c : kCases) {
    SRes status = SZ_ERROR_FAIL;
    const Bytes stream = Encode(c.input, status, c.input.size() + c.input.size() / 2 + 64);
    ASSERT_EQ(status, SZ_OK) << c.label;
    for (const std::size_t piece : {std::size_t{1}, std::size_t{4096}, std::size_t{1} << 20}) {
      const Decoded decoded = Decode(stream, c.input.size(), piece);
      EXPECT_EQ(decoded.result, SZ_OK) << c.label << ", pieces of " << piece;
      EXPECT_TRUE(decoded.complete) << c.label << ", pieces of " << piece;
      EXPECT_TRUE(decoded.bytes == c.input) << c.label << ", pieces of " << piece;
    }
  }
}

// A damaged stream never decodes to the original bytes as if it were sound.
TEST(LzmaCodec, DamagedStreamsAreRefused) {
  const Bytes input = RandomBytes(20000, 7, 16);
  SRes status = SZ_ERROR_FAIL;
  const Bytes stream = Encode(input, status, 40000);
  ASSERT_EQ(status, SZ_OK);

  Bytes truncated = stream;
  truncated.resize(stream.size() / 2);
  Bytes badFirstByte = stream;  // a raw stream always opens with a zero byte
  badFirstByte[0] = 0xFF;
  const struct {
    const char* label;
    Bytes stream;
    SRes result;
  } kCases[] = {
      {"truncated", truncated, SZ_OK},
      {"empty", {}, SZ_OK},
      {"corrupt first byte", badFirstByte, SZ_ERROR_DATA},
  };
  for (const auto& c : kCases) {
    const Decoded decoded = Decode(c.stream, input.size(), 4096);
    EXPECT_EQ(decoded.result, c.result) << c.label;
    EXPECT_FALSE(decoded.complete) << c.label;
    EXPECT_LT(decoded.bytes.size(), input.size()) << c.label;
  }
}

// Every allocation of the encoder and the decoder is made to fail in turn:
// the refusal is reported, and nothing stays allocated.
TEST(LzmaCodec, RefusedMemoryIsReportedAndNothingLeaks) {
  const Bytes input(1000, 1);
  Bytes stream(2000);
  FailingAllocator counter;
  std::size_t length = 0;
  ASSERT_EQ(LzmaEncoder(counter.get())
                .EncodeChunk(input.data(), input.size(), stream.data(), stream.size(), length),
            SZ_OK);
  const int allocationsPerChunk = counter.calls();
  ASSERT_GE(allocationsPerChunk, 2);
  for (int n = 1; n <= allocationsPerChunk; ++n) {
    FailingAllocator failing(n);
    EXPECT_EQ(LzmaEncoder(failing.get())
                  .EncodeChunk(input.data(), input.size(), stream.data(), stream.size(), length),
              SZ_ERROR_MEM)
        << "failing call " << n;
    EXPECT_TRUE(failing.AllReleased()) << "failing call " << n;
  }

  FailingAllocator failing(1);
  const LzmaEncoder encoder(failing.get());
  EXPECT_EQ(encoder.CheckAvailable(), SZ_ERROR_MEM);
  EXPECT_EQ(encoder.CheckAvailable(), SZ_OK);  // nothing was kept
  EXPECT_TRUE(failing.AllReleased());

  for (int n = 1; n <= 2; ++n) {
    FailingAllocator failingDecoder(n);
    {
      LzmaDecoder decoder(failingDecoder.get());
      EXPECT_FALSE(decoder.Allocate()) << "failing call " << n;
    }
    EXPECT_TRUE(failingDecoder.AllReleased()) << "failing call " << n;
  }
}

}  // namespace
}  // namespace vantorel
