#include "image/progress.h"

#include <gtest/gtest.h>

#include "image/image_writer.h"
#include "platform/utf8.h"
#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

TEST(Progress, DescribesTheStateInOneLine) {
  using Seconds = std::chrono::duration<double>;
  const struct {
    std::size_t partition, partitions;
    uint64_t done;
    std::optional<uint64_t> total;
    double elapsed;
    const char* line;
  } kCases[] = {
      {0, 2, 3000000, 9000000, 0.9, ""},  // quiet during the first second
      {0, 0, 0, 0, 5, ""},
      {0, 2, 3000000, 9000000, 2, "partition 1 of 2, 3.0 of 9.0 MB, 1.5 MB/s, 4 s left"},
      {1, 2, 1500000, std::nullopt, 3, "partition 2 of 2, 1.5 MB, 0.5 MB/s"},
      {0, 1, 0, 1000000, 2, "partition 1 of 1, 0.0 of 1.0 MB, 0.0 MB/s"},
      // A file that grew since its size was taken: no time left to tell.
      {0, 1, 2000000, 1000000, 2, "partition 1 of 1, 2.0 of 1.0 MB, 1.0 MB/s"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Progress::Describe(c.partition, c.partitions, c.done, c.total, Seconds(c.elapsed)),
              c.line);
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
    Progress progress(false);
    ImageHeader header{};
    ::testing::internal::CaptureStdout();
    const Outcome outcome =
        ImageWriter(list, header, DecodeUtf8(dir.File("out"), InvalidUtf8::kEscape),
                    {.workers = workers, .progress = &progress});
    ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(progress.total(), total);
    EXPECT_EQ(progress.done(), total);
  }
}

}  // namespace
}  // namespace vantorel
