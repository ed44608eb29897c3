#include "image/image_format.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantorel {
namespace {

TEST(ImageFormat, EmptyHeaderIsMagicCountZeroAndZeroEntries) {
  ImageHeader header;
  header.magic = kImageMagic;
  const ImageHeaderBytes bytes = SerializeImageHeader(header);
  ASSERT_EQ(bytes.size(), 136u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
            (std::vector<uint8_t>{0x4D, 0x4D, 0x4D, 0x00, 0, 0, 0, 0}));
  for (std::size_t i = 8; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
  EXPECT_EQ(kFirstDataOffset, 156u);
}

TEST(ImageFormat, WorkedExampleEntriesAndBytes) {
  ImageHeader header;
  header.magic = kImageMagic;
  header.partitionCount = 2;
  header.entries[0] = MakePartitionEntry(kFirstDataOffset, 5000, 0x8000, 0x10000, 0);
  const uint64_t second = NextDataOffset(header.entries[0]);
  ASSERT_EQ(second, 5176u);
  header.entries[1] =
      MakePartitionEntry(static_cast<uint32_t>(second), 13 + 120000, 0x18000, 0x60000, 1);
  EXPECT_EQ(header.entries[0].digestOffset, 5156u);
  EXPECT_EQ(header.entries[1].dataLength, 0x1D4CDu);
  EXPECT_EQ(header.entries[1].digestOffset, 0x1E905u);
  EXPECT_EQ(NextDataOffset(header.entries[1]), 125209u);  // the file's size

  const ImageHeaderBytes bytes = SerializeImageHeader(header);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 12),
            (std::vector<uint8_t>{0x4D, 0x4D, 0x4D, 0x00, 0x02, 0, 0, 0, 0x9C, 0, 0, 0}));
  const std::vector<uint8_t> entry1(bytes.begin() + 40, bytes.begin() + 72);
  EXPECT_EQ(entry1,
            (std::vector<uint8_t>{0x38, 0x14, 0, 0,    0x00, 0x80, 0x01, 0,    0xCD, 0xD4, 0x01,
                                  0,    0x00, 0, 0x06, 0,    0x05, 0xE9, 0x01, 0,    20,   0,
                                  0,    0,    1, 0,    0,    0,    0,    0,    0,    0}));
  for (std::size_t i = 72; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;

  const ImageHeader parsed = ParseImageHeader(bytes);
  EXPECT_EQ(SerializeImageHeader(parsed), bytes);
}

TEST(ImageFormat, LzmaPartitionHeaderSizeField) {
  LzmaPartitionHeader header{{0x5D, 0x00, 0x40, 0x00, 0x00}, 300000};
  EXPECT_EQ(SerializeLzmaPartitionHeader(header),
            (LzmaPartitionHeaderBytes{0x5D, 0, 0x40, 0, 0, 0xE0, 0x93, 0x04, 0, 0, 0, 0, 0}));
  header.uncompressedSize = ~uint64_t{0};
  const auto bytes = SerializeLzmaPartitionHeader(header);
  EXPECT_EQ(ParseLzmaPartitionHeader(bytes).uncompressedSize, ~uint64_t{0});
}

TEST(ImageFormat, ChunksOfAFile) {
  const struct {
    uint64_t size;
    uint64_t chunks;
    uint64_t lastLength;
  } kCases[] = {
      {0, 1, 0},
      {1, 1, 1},
      {kChunkSize - 1, 1, kChunkSize - 1},
      {kChunkSize, 2, 0},
      {kChunkSize + 1, 2, 1},
      {3 * kChunkSize, 4, 0},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ChunkCount(c.size), c.chunks) << c.size;
    EXPECT_EQ(ChunkLength(c.size, c.chunks - 1), c.lastLength) << c.size;
    if (c.chunks > 1) {
      EXPECT_EQ(ChunkLength(c.size, 0), kChunkSize);
    }
  }
}

}  // namespace
}  // namespace vantorel
