#include "config/packing_rules.h"

#include <gtest/gtest.h>

#include <vector>

#include "config/image_limits.h"
#include "platform/host.h"
#include "platform/system_error.h"

namespace vantorel {
namespace {

constexpr uint64_t kGiB = uint64_t{1} << 30;
constexpr uint32_t kAnySize = 0xFFFFFFFF;

PartitionFileFacts Sized(uint64_t size) { return {.opened = true, .size = size}; }
// A pipe or a device: open, its end known only once read.
const PartitionFileFacts kUnsized = {.opened = true};
const PartitionFileFacts kMissing = {.opened = false, .openError = 2};

// The largest plain file that leaves room for `others` more bytes of regions
// and digests after it, in an image that is then exactly at its limit.
uint64_t FillingTheImage(uint64_t others) {
  return kMaxImageSize - kFirstDataOffset - kSha1DigestSize - others;
}

struct Case {
  const char* label;
  PartitionList list;
  std::vector<PartitionFileFacts> files;
  std::string failure;    // DiagnosticText of the failure; empty when the rules pass
  std::string described;  // its lines for standard output, each ended
  std::size_t opened;     // files the rules asked for
};

TEST(PackingRules, FirstRuleBrokenInTheOrderOfWriting) {
  const std::string cannotOpen = "cannot open input file b.bin (looked for in " +
                                 CurrentFolder().value_or("?") + "): " + SystemErrorText(2);
  const std::string tooSmall =
      "fill header fail\nPartition size is not enough for upgrade bin size.\n";
  const Case kCases[] = {
      {"no partition", {}, {}, "", "", 0},
      {"four partitions that fit, compressed, plain, a pipe and an empty file",
       {{"a.bin", 0, 100, 1}, {"b.bin", 0, 100, 0}, {"c.bin", 0, 0, 0}, {"d.bin", 0, 0, 1}},
       {Sized(100), Sized(100), kUnsized, Sized(0)},
       "",
       "",
       4},
      {"five partitions: refused before a file is opened",
       PartitionList(5, {"a.bin", 0, kAnySize, 0}),
       {},
       "too many partitions: 5 (an image holds at most 4)",
       "",
       0},
      {"a file that does not open, and none opened after it",
       {{"a.bin", 0, kAnySize, 0}, {"b.bin", 0, kAnySize, 0}, {"c.bin", 0, kAnySize, 0}},
       {Sized(1), kMissing, Sized(1)},
       "partition 1 " + cannotOpen,
       "\ncannot open input file: b.bin\nThe file might be opened or it might be not exist.\n",
       2},
      {"the first partition's failure before the second is opened",
       {{"a.bin", 0, 10, 0}, {"b.bin", 0, kAnySize, 0}},
       {Sized(11), kMissing},
       "partition 0 a.bin is 0x0000000B (11) bytes, 0x00000001 (1) more than its Partition_Size "
       "0x0000000A (10)",
       tooSmall,
       1},
      {"a file exactly as large as its partition", {{"a.bin", 0, 10, 1}}, {Sized(10)}, "", "", 1},
      {"a compressed file of 2 GiB less a byte",
       {{"a.bin", 0, kAnySize, 1}},
       {Sized(2 * kGiB - 1)},
       "",
       "",
       1},
      {"a compressed file of 2 GiB, though larger than its partition too",
       {{"big.bin", 0, 4096, 1}},
       {Sized(2 * kGiB)},
       "partition 0 partition file too large to compress: big.bin is 2147483648 bytes (a "
       "compressed partition must be below 2 GiB)",
       "",
       1},
      {"a plain file of 2 GiB", {{"a.bin", 0, kAnySize, 0}}, {Sized(2 * kGiB)}, "", "", 1},
      {"two plain files of 2200 MiB: the second reaches 4 GiB",
       {{"a.bin", 0, kAnySize, 0}, {"b.bin", 0, kAnySize, 0}},
       {Sized(uint64_t{2200} << 20), Sized(uint64_t{2200} << 20)},
       "partition 1 image too large: with b.bin (2306867200 bytes) the image would reach 4 GiB "
       "(it holds at most 4294967295 bytes)",
       "",
       2},
      {"an image of exactly its limit",
       {{"a.bin", 0, kAnySize, 0}},
       {Sized(FillingTheImage(0))},
       "",
       "",
       1},
      {"an image a byte past its limit, though the file is larger than its partition too",
       {{"a.bin", 0, 4096, 0}},
       {Sized(FillingTheImage(0) + 1)},
       "partition 0 image too large: with a.bin (4294967120 bytes) the image would reach 4 GiB "
       "(it holds at most 4294967295 bytes)",
       "",
       1},
      {"a compressed region counts as its header, a pipe as nothing, each with its digest",
       {{"a.bin", 0, kAnySize, 0}, {"b.bin", 0, kAnySize, 1}, {"c.bin", 0, kAnySize, 0}},
       {Sized(FillingTheImage(kLzmaPartitionHeaderSize + 2 * kSha1DigestSize)), Sized(1 << 20),
        kUnsized},
       "",
       "",
       3},
      {"a compressed region's header past the limit",
       {{"a.bin", 0, kAnySize, 0}, {"b.bin", 0, kAnySize, 1}},
       {Sized(FillingTheImage(kLzmaPartitionHeaderSize + kSha1DigestSize) + 1), Sized(0)},
       "partition 1 image too large: with b.bin the image would reach 4 GiB (it holds at most "
       "4294967295 bytes)",
       "",
       2},
      {"a pipe's digest past the limit",
       {{"a.bin", 0, kAnySize, 0}, {"b.bin", 0, kAnySize, 0}},
       {Sized(FillingTheImage(kSha1DigestSize) + 1), kUnsized},
       "partition 1 image too large: with b.bin the image would reach 4 GiB (it holds at most "
       "4294967295 bytes)",
       "",
       2},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.label);
    std::size_t opened = 0;
    const Outcome outcome = CheckPackingRules(c.list, [&](std::size_t index) {
      EXPECT_EQ(index, opened);  // each once, in order
      ++opened;
      return c.files.at(index);
    });
    EXPECT_EQ(opened, c.opened);
    if (c.failure.empty()) {
      EXPECT_TRUE(outcome.ok()) << DiagnosticText(outcome.failure());
      continue;
    }
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(DiagnosticText(outcome.failure()), c.failure);
    std::string described;
    for (const DescribedLine& line : outcome.failure().described) {
      described += std::get<std::string>(line) + "\n";
    }
    EXPECT_EQ(described, c.described);
  }
}

}  // namespace
}  // namespace vantorel
