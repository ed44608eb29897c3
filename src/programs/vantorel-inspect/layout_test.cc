#include "programs/vantorel-inspect/layout.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// Flash ranges [start, start + size) of partitions, and the warnings.
TEST(Layout, WarnsOfOverlapsAndRangesPast4GiB) {
  using Ranges = std::vector<std::pair<uint32_t, uint32_t>>;
  const struct {
    Ranges ranges;
    std::vector<std::string> warnings;
  } kCases[] = {
      {{{0x0, 0x1000}, {0x1000, 0x1000}}, {}},
      {{{0x0, 0x2000}, {0x1000, 0x2000}},
       {"partitions 0 and 1 overlap in flash: [0x00000000, 0x00002000) and "
        "[0x00001000, 0x00003000)"}},
      {{{0x1000, 0x0}, {0x0, 0x2000}}, {}},
      {{{0x0, 0x1000}, {0x2000, 0x1000}, {0x800, 0x2000}},
       {"partitions 0 and 2 overlap in flash: [0x00000000, 0x00001000) and "
        "[0x00000800, 0x00002800)",
        "partitions 1 and 2 overlap in flash: [0x00002000, 0x00003000) and "
        "[0x00000800, 0x00002800)"}},
      {{{0xFFFFF000, 0x2000}, {0x0, 0x1000}},
       {"partition 0 runs past 4 GiB in flash: [0xFFFFF000, 0x100001000)"}},
      {{{0xFFFFFFFF, 0xFFFFFFFF}, {0x10, 0xFFFFFFF0}},
       {"partition 0 runs past 4 GiB in flash: [0xFFFFFFFF, 0x1FFFFFFFE)",
        "partitions 0 and 1 overlap in flash: [0xFFFFFFFF, 0x1FFFFFFFE) and "
        "[0x00000010, 0x100000000)"}},
  };
  for (const auto& c : kCases) {
    std::vector<PartitionReport> partitions;
    for (const auto& [start, size] : c.ranges) {
      partitions.push_back({.entry = MakePartitionEntry(156, 0, start, size, 0)});
    }
    std::vector<std::string> texts;
    for (const LayoutWarning& warning : CheckFlashLayout(partitions)) {
      texts.push_back(warning.text);
      EXPECT_EQ(warning.kind, warning.partitions.size() == 2 ? "overlap" : "past 4 GiB");
    }
    EXPECT_EQ(texts, c.warnings);
  }
}

}  // namespace
}  // namespace vantorel
