#include "programs/vantorel/run_lines.h"

#include <gtest/gtest.h>

#include "config_reading.h"

namespace vantorel {
namespace {

// Each case of the configuration corpus is a file and, beside it, what the
// packer prints while it reads it and what it reads (the Windows build
// checks the same files). Read silently, the reader prints nothing and reads
// the same; with the packer's lines, they are byte for byte as recorded.
TEST(RunLines, PrintEveryCorpusCaseAsRecordedAndTheReaderNothing) {
  const int checked = corpus::ForEachCase(
      std::filesystem::path(VANTOREL_TEST_DATA_DIR) / "config",
      [](const std::filesystem::path& name, const std::string& record) {
        SCOPED_TRACE(name.string());
        for (const bool withLines : {false, true}) {
          PartitionList list;
          ConfigurationReading reading;
          RunLines lines;
          ::testing::internal::CaptureStdout();
          const Outcome outcome =
              ReadConfiguration(name.wstring(), list, reading, withLines ? &lines : nullptr);
          const std::string printed = ::testing::internal::GetCapturedStdout();
          const std::string described = corpus::DescribeReading(outcome, reading, list);
          if (withLines) {
            EXPECT_EQ(printed + described, record);
          } else {
            EXPECT_EQ(printed, "");
            EXPECT_EQ(described, corpus::RecordedReading(record));
          }
        }
      });
  EXPECT_GE(checked, 19);
}

}  // namespace
}  // namespace vantorel
