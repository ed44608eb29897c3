#include "image/image_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/hex.h"
#include "machinery/progress.h"
#include "platform/utf8.h"
#include "test_support/inputs.h"
#include "test_support/memory_image.h"
#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

using ::vantorel::testing::FailingAllocator;
using ::vantorel::testing::RandomBytes;
using ::vantorel::testing::ReadBytes;
using ::vantorel::testing::TempDir;
using Bytes = std::vector<uint8_t>;

struct Packing {
  FailureKind kind = FailureKind::kNone;
  std::string output;  // the packer's lines from the events, the failure's described lines after
  std::string reason;  // the failure's reason
};

// The writer's events as the lines the packer prints for them.
class EventLines final : public WriterEvents {
 public:
  void OutputNamed(const std::wstring&, const NarrowedPath& narrowed) override {
    text += "Output File = " + narrowed.path + "\n";
  }
  void CompressedFileSized(std::size_t, int32_t size) override {
    text += std::to_string(size) + "\n";
  }
  std::string text;
};

// The writer itself prints nothing.
Packing Pack(const PartitionList& list, const std::string& outputPath, WriterOptions options = {}) {
  Packing packing;
  EventLines lines;
  options.events = &lines;
  ::testing::internal::CaptureStdout();
  const Outcome outcome = PackImage(list, DecodeUtf8(outputPath, InvalidUtf8::kEscape), options);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  packing.output = lines.text;
  packing.kind = outcome.kind();
  if (!outcome.ok()) {
    for (const DescribedLine& line : outcome.failure().described) {
      packing.output += std::get<std::string>(line) + "\n";
    }
    packing.reason = DiagnosticText(outcome.failure());
  }
  return packing;
}

std::string Write(const TempDir& dir, const std::string& name, const Bytes& content) {
  return dir.Write(name, std::string(content.begin(), content.end()));
}

// The image reader proves an image sound (every field, offset, digest and
// stream) and hands back what each partition holds.
void ExpectImageOf(const Bytes& image, const PartitionList& list) {
  testing::MemorySource source(image);
  testing::CollectingSink sink;
  const ImageReport report = ReadImage(source, {.sink = &sink});
  ASSERT_TRUE(report.Sound()) << report.problem->what << " at " << report.problem->offset;
  const auto partitions = sink.Partitions();
  ASSERT_EQ(partitions.size(), list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(report.partitions[i].entry.isCompressed, static_cast<uint32_t>(list[i].isCompressed));
    EXPECT_TRUE(partitions[i] == ReadBytes(list[i].path)) << "partition " << i;
  }
}

// Every number of workers gives the image of the writer that does everything
// on one thread, and that image is the one the encoder settings of the
// format give (its SHA-1 was computed once, with no worker, and its streams
// agree with the LZMA SDK's own lzma_alone at the same settings), with the
// same lines on standard output. As many chunks are in flight as there are
// workers, up to the chunks of the largest partition: 8 workers are more than
// any case has chunks. One test per worker count, so that they run side by
// side.
class GoldenImage : public ::testing::TestWithParam<unsigned> {};

TEST_P(GoldenImage, EveryWorkerCountGivesIt) {
  const unsigned workers = GetParam();
  TempDir dir;
  std::string text;
  while (text.size() < kChunkSize) text += "partition " + std::to_string(text.size());
  text.resize(kChunkSize);  // two chunks, the last one empty
  const struct {
    const char* label;
    PartitionList list;
    unsigned chunks;  // of the largest compressed partition
    const char* golden;
    const char* output;  // after the first line: each compressed file's size
  } kCases[] = {
      {"no partition", {}, 0, "3c2d5839b2ea124637ce86213a4936e5c1a4324b", ""},
      {"small partitions",
       {{Write(dir, "empty", {}), 0x8000, 0, 0},
        {Write(dir, "empty", {}), 0x9000, 0, 1},
        {Write(dir, "small", RandomBytes(300000, 2, 4)), 0xA000, 300000, 1},
        {Write(dir, "plain", RandomBytes(5000, 1)), 0xFFFFF000, 0xFFFFFFFF, 0}},
       1,
       "f95055cd97e7a1b7702228c7f5d69da77beae1a9",
       "0\n300000\n"},
      {"partitions of several chunks",
       {{dir.Write("text", text), 0, 0xFFFFFFFF, 1},
        {Write(dir, "random", RandomBytes(kChunkSize + 7, 5)), 0, 0xFFFFFFFF, 0},
        {dir.Write("tiny", "tiny"), 0, 0xFFFFFFFF, 1}},
       2,
       "35cb6fca366bc1bcfcc2b02ed6785d0dff9054ed",
       "16777216\n4\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.label) + ", workers " + std::to_string(workers));
    const std::string out = dir.File("out");
    WriterStatistics statistics;
    const Packing packing = Pack(c.list, out, {.workers = workers, .statistics = &statistics});
    ASSERT_EQ(packing.kind, FailureKind::kNone);
    const Bytes image = ReadBytes(out);
    EXPECT_EQ(HexDigits(Sha1Of(image.data(), image.size())), c.golden);
    EXPECT_EQ(statistics.maxChunksInFlight, std::min(std::max(workers, 1u), c.chunks));
    EXPECT_EQ(packing.output.substr(packing.output.find('\n') + 1), c.output);
    if (workers == 0) ExpectImageOf(image, c.list);
  }
}

INSTANTIATE_TEST_SUITE_P(Workers, GoldenImage, ::testing::Values(0u, 1u, 2u, 8u));

// A partition larger than its Partition_Size fails the run, which leaves the
// previous image as it was.
TEST(ImageWriter, PartitionSizeCheck) {
  TempDir dir;
  const Bytes content = Bytes(10000, 0);  // compresses far below its size
  for (const bool compressed : {false, true}) {
    const std::string path = Write(dir, "p", content);
    const std::string out = dir.File("out.bin");
    EXPECT_EQ(Pack({{path, 0, 10000, compressed}}, out).kind, FailureKind::kNone);
    const Bytes previous = ReadBytes(out);

    const Packing packing = Pack({{path, 0, 9999, compressed}}, out);
    EXPECT_EQ(packing.kind, FailureKind::kPackingRule);
    EXPECT_TRUE(packing.output.ends_with(
        "fill header fail\nPartition size is not enough for upgrade bin size.\n"));
    EXPECT_EQ(packing.reason, "partition 0 " + path +
                                  " is 0x00002710 (10000) bytes, 0x00000001 (1) more than its "
                                  "Partition_Size 0x0000270F (9999)");
    EXPECT_EQ(ReadBytes(out), previous);
  }
}

void* RefuseAllocation(std::size_t) { return nullptr; }
void* RefuseSecondBuffer(std::size_t size) {
  return size == kEncodeCapacity ? nullptr : std::malloc(size);
}

// Failures only a test can bring about: message and kind whatever the
// number of workers, and the output as it was before the run, without a
// temporary file beside it.
TEST(ImageWriter, FailuresLeaveWhatTheyShould) {
  TempDir dir;
  const Bytes first = RandomBytes(3000, 11);
  const std::string good = Write(dir, "good.bin", first);
  const std::string out = dir.File("out.bin");

  const struct {
    const char* label;
    BufferAllocator allocateBuffer;
    int failingLzmaCall;  // 1: the partition's encoder; 3: the chunk's tables
    FailureKind kind;
    std::string message;  // what follows the "Output File = " line
    std::string reason;
  } kCases[] = {
      {"input buffer unavailable", RefuseAllocation, 0, FailureKind::kMemory,
       "\ncannot malloc lzma working buffer\n", "not enough memory for the work buffers"},
      {"output buffer unavailable", RefuseSecondBuffer, 0, FailureKind::kMemory,
       "\ncannot malloc lzma working buffer\n", "not enough memory for the work buffers"},
      {"encoder of the partition unavailable", std::malloc, 1, FailureKind::kCompression, "",
       "partition 1 cannot start compressing " + good + ": not enough memory for the LZMA encoder"},
      {"encoder tables of a chunk unavailable", std::malloc, 3, FailureKind::kCompression, "3000\n",
       "partition 1 cannot compress input file " + good +
           ": not enough memory for the LZMA encoder"},
  };
  const Bytes previous = {'o', 'l', 'd'};
  Write(dir, "out.bin", previous);
  for (const unsigned workers : {0u, 2u, 8u}) {
    for (const auto& c : kCases) {
      SCOPED_TRACE(std::string(c.label) + ", workers " + std::to_string(workers));
      FailingAllocator lzma(c.failingLzmaCall);
      const Packing packing = Pack(
          {{good, 0, 9999, 0}, {good, 0, 9999, 1}}, out,
          {.workers = workers, .allocateBuffer = c.allocateBuffer, .lzmaAllocator = lzma.get()});
      EXPECT_EQ(packing.kind, c.kind);
      EXPECT_EQ(packing.output, "Output File = " + out + "\n" + c.message);
      EXPECT_EQ(packing.reason, c.reason);
      EXPECT_EQ(ReadBytes(out), previous);
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                              std::filesystem::directory_iterator()),
                2);  // good.bin and out.bin
      EXPECT_TRUE(lzma.AllReleased());
    }
  }
}

// Every byte of every partition file is counted once, plain or compressed,
// the last chunk of each included.
TEST(Progress, CountsEveryChunkTheWriterWrites) {
  testing::TempDir dir;
  const PartitionList list = {
      {dir.Write("small", std::string(1000, 'p')), 0, 0xFFFFFFFF, 0},
      {dir.Write("packed", std::string(3000, 'c')), 0, 0xFFFFFFFF, 1},
      {dir.Write("large", std::string(kChunkSize + 5, 'l')), 0, 0xFFFFFFFF, 0},
  };
  const uint64_t total = 1000 + 3000 + kChunkSize + 5;
  for (const unsigned workers : {0u, 2u}) {
    Progress progress;
    const Outcome outcome = PackImage(list, DecodeUtf8(dir.File("out"), InvalidUtf8::kEscape),
                                      {.workers = workers, .progress = &progress});
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(progress.total(), total);
    EXPECT_EQ(progress.done(), total);
  }
}

}  // namespace
}  // namespace vantorel
