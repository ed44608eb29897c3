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
    uint64_t measuredBytes;
    double measuredTime;
    const char* line;
  } kCases[] = {
      {0, 2, 3000000, 9000000, 0.9, 3000000, 0.9, ""},  // quiet during the first second
      {0, 0, 0, 0, 5, 0, 5, ""},
      {0, 2, 3000000, 9000000, 2, 3000000, 2,
       "partition 1 of 2, 3.0 of 9.0 MB, 1.5 MB/s, 4 s left"},
      {1, 2, 1500000, std::nullopt, 3, 1500000, 3, "partition 2 of 2, 1.5 MB, 0.5 MB/s"},
      // No rate until a second of work was measured, nor from no bytes.
      {0, 1, 100000, 50400000, 2, 0, 1.5, "partition 1 of 1, 0.1 of 50.4 MB"},
      {0, 1, 100000, 50400000, 2, 50000, 0.5, "partition 1 of 1, 0.1 of 50.4 MB"},
      {0, 1, 0, 1000000, 2, 0, 0, "partition 1 of 1, 0.0 of 1.0 MB"},
      // The rate is that of the measured work, not of the whole run.
      {0, 1, 20000000, 50000000, 3, 16000000, 1.6,
       "partition 1 of 1, 20.0 of 50.0 MB, 10.0 MB/s, 3 s left"},
      // A file that grew since its size was taken: no time left to tell.
      {0, 1, 2000000, 1000000, 2, 2000000, 2, "partition 1 of 1, 2.0 of 1.0 MB, 1.0 MB/s"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ProgressLine(c.partition, c.partitions, c.done, c.total, Seconds(c.elapsed),
                           {c.measuredBytes, Seconds(c.measuredTime)}),
              c.line);
  }
}

}  // namespace
}  // namespace vantorel
