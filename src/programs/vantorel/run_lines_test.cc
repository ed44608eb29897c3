#include "programs/vantorel/run_lines.h"

#include <gtest/gtest.h>

#include "config_reading.h"

namespace vantorel {
namespace {

// The packer's lines while it reads each case of the configuration corpus,
// byte for byte as recorded, and the same reading as without them.
TEST(RunLines, PrintEveryCorpusCaseAsRecorded) {
  const int checked = corpus::ForEachCase(
      std::filesystem::path(VANTOREL_TEST_DATA_DIR) / "config",
      [](const std::filesystem::path& name, const std::string& record) {
        SCOPED_TRACE(name.string());
        PartitionList list;
        ConfigurationReading reading;
        RunLines lines;
        ::testing::internal::CaptureStdout();
        const Outcome outcome = ReadConfiguration(name.wstring(), list, reading, &lines);
        const std::string printed = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(printed + corpus::DescribeReading(outcome, reading, list), record);
      });
  EXPECT_GE(checked, 19);
}

}  // namespace
}  // namespace vantorel
