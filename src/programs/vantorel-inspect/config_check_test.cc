#include "programs/vantorel-inspect/config_check.h"

#include <gtest/gtest.h>

#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

// The image reader refuses an image whose partition is larger than its
// Partition_Size, so only a report made by hand shows it: an image that
// matches its configuration field for field and byte for byte matches only
// when the packing rules take the configuration's files.
TEST(ConfigCheck, ImageThePackerWouldRefuseMatchesNoConfiguration) {
  testing::TempDir dir;
  const std::string content(1024, 'p');
  const std::string path = dir.Write("plain.bin", content);
  PartitionReport partition;
  partition.entry = MakePartitionEntry(kFirstDataOffset, 1024, 0x8000, 0x100, 0);
  partition.originalSize = 1024;
  partition.originalDigest = Sha1Of(reinterpret_cast<const uint8_t*>(content.data()), 1024);
  ImageReport report;
  report.partitions = {partition};
  for (const uint32_t partitionSize : {0x100u, 0x400u}) {
    SCOPED_TRACE(partitionSize);
    report.partitions[0].entry.partitionSize = partitionSize;
    std::vector<ConfigFinding> findings;
    ASSERT_TRUE(
        CompareWithConfiguration(report, {{path, 0x8000, partitionSize, 0}}, findings).ok());
    if (partitionSize == 0x400) {
      EXPECT_TRUE(findings.empty());
      continue;
    }
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].partition, 0u);
    EXPECT_EQ(findings[0].field, "packing rules");
    EXPECT_EQ(findings[0].configured,
              "refused (" + path +
                  " is 0x00000400 (1024) bytes, 0x00000300 (768) more than its Partition_Size "
                  "0x00000100 (256))");
  }
}

}  // namespace
}  // namespace vantorel
