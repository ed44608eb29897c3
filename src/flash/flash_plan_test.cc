#include "flash/flash_plan.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// A span written as {address, length, partition or -1 for fill}.
struct Span {
  uint64_t address;
  uint64_t length;
  int partition;
};

struct LayoutCase {
  const char* name;
  std::vector<FlashPlacement> partitions;
  FlashWindow window;
  uint64_t base, end;
  std::vector<Span> spans;
  const char* refusal;  // empty: a plan
};

const LayoutCase kCases[] = {
    {"gap and tail fill, index order differs from address order",
     {{0x2000, 0x100, 0x10}, {0x1000, 0x800, 0x800}},
     {},
     0x1000,
     0x2100,
     {{0x1000, 0x800, 1}, {0x1800, 0x800, -1}, {0x2000, 0x10, 0}, {0x2010, 0xF0, -1}},
     ""},
    {"a partition at address 0, an empty partition lying nowhere",
     {{0, 4, 4}, {0xFFFFFFFF, 0, 0}},
     {},
     0,
     4,
     {{0, 4, 0}},
     ""},
    {"one ending at 4 GiB, window from base and size",
     {{0xFFFF0000, 0x10000, 0}},
     {0xFFFE0000, 0x20000},
     0xFFFE0000,
     kFlashEnd,
     {{0xFFFE0000, 0x10000, -1}, {0xFFFF0000, 0x10000, -1}},
     ""},
    {"size only: fill up to base + size",
     {{0x100, 0x10, 0x10}},
     {{}, 0x40},
     0x100,
     0x140,
     {{0x100, 0x10, 0}, {0x110, 0x30, -1}},
     ""},
    {"no partitions at all", {}, {}, 0, 0, {}, ""},
    {"overlap",
     {{0x0, 0x1001, 1}, {0x1000, 0x10, 1}},
     {},
     0,
     0,
     {},
     "partition 0 [0x00000000, 0x00001001) and partition 1 [0x00001000, 0x00001010) overlap in "
     "flash"},
    {"overlap named in partition order",
     {{0x1000, 0x10, 1}, {0x0, 0x2000, 1}},
     {},
     0,
     0,
     {},
     "partition 0 [0x00001000, 0x00001010) and partition 1 [0x00000000, 0x00002000) overlap in "
     "flash"},
    {"past 4 GiB",
     {{0xFFFFFFF0, 0x11, 0}},
     {},
     0,
     0,
     {},
     "partition 0 [0xFFFFFFF0, 0x100000001) runs past 4 GiB, beyond 32-bit flash addresses"},
    {"below --base",
     {{0x100, 0x10, 0}},
     {0x101, {}},
     0,
     0,
     {},
     "partition 0 [0x00000100, 0x00000110) lies outside the output range [0x00000101, "
     "0x00000110)"},
    {"cut by --size",
     {{0x100, 0x10, 0}},
     {{}, 0xF},
     0,
     0,
     {},
     "partition 0 [0x00000100, 0x00000110) lies outside the output range [0x00000100, "
     "0x0000010F)"},
};

TEST(FlashPlan, PlansOrRefusesEachLayout) {
  for (const LayoutCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const FlashPlan plan = PlanFlash(c.partitions, c.window);
    EXPECT_EQ(plan.refusal, c.refusal);
    if (!plan.refusal.empty()) continue;
    EXPECT_EQ(plan.base, c.base);
    EXPECT_EQ(plan.end, c.end);
    ASSERT_EQ(plan.spans.size(), c.spans.size());
    for (std::size_t i = 0; i < c.spans.size(); ++i) {
      EXPECT_EQ(plan.spans[i].address, c.spans[i].address) << i;
      EXPECT_EQ(plan.spans[i].length, c.spans[i].length) << i;
      const auto& partition = plan.spans[i].partition;
      EXPECT_EQ(partition ? static_cast<int>(*partition) : -1, c.spans[i].partition) << i;
    }
  }
}

}  // namespace
}  // namespace vantorel
