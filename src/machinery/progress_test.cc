#include "machinery/progress.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(ProgressLine(c.partition, c.partitions, c.done, c.total, Seconds(c.elapsed)), c.line);
  }
}

}  // namespace
}  // namespace vantorel
