#include "config/config_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "config_reading.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// Each case of the configuration corpus is a file and, beside it, what the
// reader prints and reads for it (the Windows build checks the same files).
// Read silently, the same file gives the same status, records, warnings and
// reason, and prints nothing.
TEST(ConfigReader, ReadsEveryCorpusCaseAsRecorded) {
  const fs::path corpus = fs::path(VANTOREL_TEST_DATA_DIR) / "config";
  const fs::path saved = fs::current_path();
  fs::current_path(corpus);  // the reader's first line names the path as given
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".ini") continue;
    const std::wstring name = entry.path().filename().wstring();
    SCOPED_TRACE(entry.path().filename().string());
    PartitionList list;
    ConfigurationReading reading;
    ::testing::internal::CaptureStdout();
    const Outcome outcome = ReadConfiguration(name, list, reading);
    const std::string lines = ::testing::internal::GetCapturedStdout();
    const std::string described = corpus::DescribeReading(outcome, reading, list);
    EXPECT_EQ(lines + described, ReadFile(fs::path(entry.path()).replace_extension(".reading")));

    PartitionList silentList;
    ConfigurationReading silentReading;
    ::testing::internal::CaptureStdout();
    const Outcome silent = ReadConfiguration(name, silentList, silentReading, ReaderLines::kSilent);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(corpus::DescribeReading(silent, silentReading, silentList), described);
    ++checked;
  }
  fs::current_path(saved);
  EXPECT_GE(checked, 19);
}

}  // namespace
}  // namespace vantorel
