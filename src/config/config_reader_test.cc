#include "config/config_reader.h"

#include <gtest/gtest.h>

#include "config_reading.h"

namespace vantorel {
namespace {

// Each case of the configuration corpus is a file and, beside it, what the
// packer prints while it reads it and what it reads (the Windows build
// checks the same files). The reader itself prints nothing, with events or
// without; the packer's lines from its events are the packer's test.
TEST(ConfigReader, ReadsEveryCorpusCaseAsRecordedAndPrintsNothing) {
  const int checked = corpus::ForEachCase(
      std::filesystem::path(VANTOREL_TEST_DATA_DIR) / "config",
      [](const std::filesystem::path& name, const std::string& record) {
        SCOPED_TRACE(name.string());
        PartitionList list;
        ConfigurationReading reading;
        ::testing::internal::CaptureStdout();
        const Outcome outcome = ReadConfiguration(name.wstring(), list, reading);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(corpus::DescribeReading(outcome, reading, list), corpus::RecordedReading(record));
      });
  EXPECT_GE(checked, 19);
}

}  // namespace
}  // namespace vantorel
