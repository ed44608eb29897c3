#include "image/image_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include "image/sha1.h"
#include "platform/utf8.h"
#include "test_support/memory_image.h"
#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

using ::vantorel::testing::ReadBytes;
using ::vantorel::testing::TempDir;
using Bytes = std::vector<uint8_t>;

struct Packing {
  int status;
  std::string output;
  ImageHeader header;
};

Packing Pack(const PartitionList& list, const std::string& outputPath,
             const WriterOptions& options = {}) {
  Packing packing{};
  ::testing::internal::CaptureStdout();
  packing.status =
      ImageWriter(list, packing.header, DecodeUtf8(outputPath, InvalidUtf8::kEscape), options);
  packing.output = ::testing::internal::GetCapturedStdout();
  return packing;
}

Bytes DigestOf(const uint8_t* data, std::size_t length) {
  const Sha1Digest digest = Sha1Of(data, length);
  return Bytes(digest.begin(), digest.end());
}

Bytes Slice(const Bytes& bytes, uint64_t offset, uint64_t length) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
               bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

struct Input {
  Bytes content;
  bool compressed;
};

// The image reader proves the image sound (every field, offset, digest and
// stream) and hands back what each partition holds.
void ExpectImageOf(const Bytes& image, const std::vector<Input>& inputs) {
  testing::MemorySource source(image);
  testing::CollectingSink sink;
  const ImageReport report = InspectImage(source, {.sink = &sink});
  const auto partitions = sink.Partitions();
  ASSERT_TRUE(report.Sound()) << report.problem->what << " at " << report.problem->offset;
  ASSERT_EQ(partitions.size(), inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(report.partitions[i].entry.isCompressed, inputs[i].compressed ? 1u : 0u) << i;
    EXPECT_TRUE(partitions[i] == inputs[i].content) << "partition " << i;
  }
}

std::string Write(const TempDir& dir, const std::string& name, const Bytes& content) {
  return dir.Write(name, std::string(content.begin(), content.end()));
}

Bytes Random(std::size_t size, unsigned seed, int distinct = 256) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random() % distinct);
  return bytes;
}

TEST(ImageWriter, EmptyListGivesTheEmptyImage) {
  TempDir dir;
  const std::string out = dir.File("out.bin");
  const Packing packing = Pack({}, out);
  EXPECT_EQ(packing.status, kWriterOk);
  EXPECT_EQ(packing.output, "Output File = " + out + "\n");
  const Bytes image = ReadBytes(out);
  ASSERT_EQ(image.size(), 156u);
  ExpectImageOf(image, {});
}

// Sizes at the chunk boundaries, plain and compressed, each packed and checked.
TEST(ImageWriter, PacksPartitionsOfEverySize) {
  TempDir dir;
  const std::vector<Input> inputs = {
      {Bytes(), false},
      {Bytes(), true},
      {Random(5000, 1), false},
      {Random(300000, 2, 4), true},
      {Random(kChunkSize, 3, 16), true},
      {Random(kChunkSize + 1, 4, 16), true},
      {Random(kChunkSize, 9), false},
      {Bytes(1, 7), false},
  };
  for (std::size_t first = 0; first < inputs.size(); first += 2) {
    PartitionList list;
    std::string expectedOutput = "Output File = " + dir.File("out.bin") + "\n";
    for (std::size_t i = first; i < first + 2; ++i) {
      list.push_back({Write(dir, "p" + std::to_string(i), inputs[i].content), 0x8000,
                      static_cast<uint32_t>(inputs[i].content.size()), inputs[i].compressed});
      if (inputs[i].compressed) expectedOutput += std::to_string(inputs[i].content.size()) + "\n";
    }
    const Packing packing = Pack(list, dir.File("out.bin"));
    ASSERT_EQ(packing.status, kWriterOk);
    EXPECT_EQ(packing.output, expectedOutput);
    ExpectImageOf(ReadBytes(dir.File("out.bin")), {inputs[first], inputs[first + 1]});
  }
}

// A partition that does not fit: its region and digest are on disk, no header.
TEST(ImageWriter, PartitionSizeCheck) {
  TempDir dir;
  const Bytes content = Bytes(10000, 0);  // compresses far below its size
  for (const bool compressed : {false, true}) {
    const std::string path = Write(dir, "p", content);
    const std::string out = dir.File("out.bin");
    EXPECT_EQ(Pack({{path, 0, 10000, compressed}}, out).status, kWriterOk);

    const Packing packing = Pack({{path, 0, 9999, compressed}}, out);
    EXPECT_EQ(packing.status, kPartitionTooSmall);
    EXPECT_TRUE(packing.output.ends_with(
        "fill header fail\nPartition size is not enough for upgrade bin size.\n"));
    const Bytes image = ReadBytes(out);
    EXPECT_EQ(Slice(image, 0, 156), Bytes(156, 0));
    const uint64_t regionLength = image.size() - 156 - kSha1DigestSize;
    EXPECT_EQ(Slice(image, 156 + regionLength, kSha1DigestSize),
              DigestOf(image.data() + 156, regionLength));
    if (!compressed) {
      EXPECT_EQ(regionLength, content.size());
    }
  }
}

WriterOptions WithBuffers(BufferAllocator allocate) {
  WriterOptions options;
  options.allocateBuffer = allocate;
  return options;
}

WriterOptions WithLzmaAllocator(ISzAlloc* allocator) {
  WriterOptions options;
  options.lzmaAllocator = allocator;
  return options;
}

void* RefuseAllocation(std::size_t) { return nullptr; }
void* RefuseSecondBuffer(std::size_t size) {
  return size == kEncodeCapacity ? nullptr : std::malloc(size);
}

struct CountingLzmaAllocator {
  static inline std::atomic<int> calls = 0;
  static inline std::atomic<int> failOn = 0;
  static void* Allocate(void*, size_t size) {
    return ++calls == failOn ? nullptr : std::malloc(size);
  }
  static void Release(void*, void* block) { std::free(block); }
  static inline ISzAlloc table{Allocate, Release};
  static ISzAlloc* FailingOnCall(int n) {
    calls = 0;
    failOn = n;
    return &table;
  }
};

WriterOptions WithThreads(unsigned threads) {
  WriterOptions options;
  options.workers = threads;
  return options;
}

// Chunks encoded and hashed on any number of workers give the bytes of the
// writer that does everything on one thread, with as many chunks encoded at
// once as there are workers, up to the chunks of the partition.
TEST(ImageWriter, ThreadCountsGiveIdenticalImages) {
  TempDir dir;
  std::string text;
  while (text.size() < 3 * kChunkSize + 5) text += "partition " + std::to_string(text.size());
  const PartitionList list = {
      {dir.Write("compressed", text), 0, 0xFFFFFFFF, 1},
      {Write(dir, "plain", Random(2 * kChunkSize + 7, 5)), 0, 0xFFFFFFFF, 0},
      {dir.Write("small", "tiny"), 0, 0xFFFFFFFF, 1},
  };
  Packing reference;
  Bytes referenceImage;
  const unsigned kMostChunks = 4;
  for (const unsigned threads : {0u, 1u, 2u, 8u, 16u}) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    const std::string out = dir.File("out" + std::to_string(threads));
    WriterStatistics statistics;
    WriterOptions options = WithThreads(threads);
    options.statistics = &statistics;
    const Packing packing = Pack(list, out, options);
    ASSERT_EQ(packing.status, kWriterOk);
    EXPECT_EQ(statistics.maxEncodesInFlight, std::clamp(threads, 1u, kMostChunks));
    if (threads == 0) {
      reference = packing;
      referenceImage = ReadBytes(out);
      continue;
    }
    EXPECT_EQ(packing.output.substr(packing.output.find('\n')),
              reference.output.substr(reference.output.find('\n')));
    EXPECT_TRUE(ReadBytes(out) == referenceImage);
  }
  EXPECT_EQ(referenceImage.size(), NextDataOffset(reference.header.entries[2]));
}

// The failure table: message, status, and what stays on disk, whatever the
// number of threads.
TEST(ImageWriter, FailuresLeaveWhatTheyShould) {
  TempDir dir;
  const Bytes first = Random(3000, 11);
  const std::string good = Write(dir, "good.bin", first);
  const std::string missing = dir.File("missing.bin");
  const std::string out = dir.File("out.bin");
  Bytes earlierRegion(156, 0);
  earlierRegion.insert(earlierRegion.end(), first.begin(), first.end());
  const Bytes digest = DigestOf(first.data(), first.size());
  earlierRegion.insert(earlierRegion.end(), digest.begin(), digest.end());

  const struct {
    const char* label;
    PartitionList list;
    WriterOptions options;
    int status;
    std::string message;  // what follows the "Output File = " line
    std::optional<Bytes> onDisk;
  } kCases[] = {
      {"input buffer unavailable",
       {{good, 0, 9999, 0}},
       WithBuffers(RefuseAllocation),
       kBuffersUnavailable,
       "\ncannot malloc lzma working buffer\n",
       Bytes()},
      {"output buffer unavailable",
       {{good, 0, 9999, 0}},
       WithBuffers(RefuseSecondBuffer),
       kBuffersUnavailable,
       "\ncannot malloc lzma working buffer\n",
       Bytes()},
      {"first partition file missing",
       {{missing, 0, 9999, 0}},
       {},
       kFileUnavailable,
       "\ncannot open input file: " + missing +
           "\nThe file might be opened or it might be not exist.\n",
       Bytes()},
      {"second partition file missing",
       {{good, 0, 9999, 0}, {missing, 0, 9999, 1}},
       {},
       kFileUnavailable,
       "\ncannot open input file: " + missing +
           "\nThe file might be opened or it might be not exist.\n",
       earlierRegion},
      {"encoder of the partition unavailable",
       {{good, 0, 9999, 0}, {good, 0, 9999, 1}},
       WithLzmaAllocator(CountingLzmaAllocator::FailingOnCall(1)),
       kCompressionFailed,
       "",
       earlierRegion},
      {"a directory as partition file",
       {{good, 0, 9999, 0}, {dir.path().string(), 0, 9, 0}},
       {},
       kFileUnavailable,
       "\ncannot read input file: " + dir.path().string() + "\n",
       earlierRegion},
  };
  for (const unsigned threads : {0u, 2u, 8u}) {
    for (const auto& c : kCases) {
      SCOPED_TRACE(std::string(c.label) + ", threads " + std::to_string(threads));
      WriterOptions options = c.options;
      options.workers = threads;
      if (options.lzmaAllocator != &HeapAllocator) CountingLzmaAllocator::FailingOnCall(1);
      const Packing packing = Pack(c.list, out, options);
      EXPECT_EQ(packing.status, c.status);
      EXPECT_EQ(packing.output, "Output File = " + out + "\n" + c.message);
      if (c.onDisk) {
        EXPECT_EQ(ReadBytes(out), *c.onDisk);
      }
    }
  }
}

TEST(ImageWriter, FailedChunkEncodingWritesNothingOfItsStream) {
  TempDir dir;
  const std::string path = Write(dir, "p", Random(100, 1));
  const std::string out = dir.File("out.bin");
  // Call 1 creates the partition's encoder, call 2 the chunk's, 3 its tables.
  const Packing packing =
      Pack({{path, 0, 100, 1}}, out, WithLzmaAllocator(CountingLzmaAllocator::FailingOnCall(3)));
  EXPECT_EQ(packing.status, kCompressionFailed);
  EXPECT_TRUE(
      packing.output.ends_with("\ncannot compress input file: " + path + " (LZMA status 2)\n"));
  const Bytes image = ReadBytes(out);
  EXPECT_EQ(image.size(), 156u + 13u);
}

// A compressed partition whose size when queried differs from what was read:
// a pipe has no size to query, so the region's size field would be wrong.
TEST(ImageWriter, CompressedFileWithoutAReliableSizeIsRefused) {
  TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread feeder([&] {
    const int fd = open(fifo.c_str(), O_WRONLY);
    if (fd >= 0) {
      [[maybe_unused]] const ssize_t n = write(fd, "some bytes", 10);
      close(fd);
    }
  });
  const Packing packing = Pack({{fifo, 0, 9999, 1}}, dir.File("out.bin"), WithThreads(8));
  feeder.join();
  EXPECT_EQ(packing.status, kFileUnavailable);
  EXPECT_TRUE(packing.output.ends_with("\ncannot tell the size of input file: " + fifo + "\n"));
}

}  // namespace
}  // namespace vantorel
