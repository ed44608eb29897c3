#include "platform/files.h"

#include <gtest/gtest.h>

#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

using ::vantorel::testing::TempDir;

// Identities, locks and emptying the output are the process-boundary table's.
TEST(Files, ReadWholeFileReadsNoMoreThanItsLimit) {
  TempDir dir;
  const std::string path = dir.Write("f", "0123456789");
  const FileContent whole = ReadWholeFile(path, 10);
  EXPECT_EQ(whole.reading, FileContent::Reading::kRead);
  EXPECT_EQ(whole.bytes, "0123456789");
  EXPECT_EQ(ReadWholeFile(path, 9).reading, FileContent::Reading::kTooLarge);
  EXPECT_EQ(ReadWholeFile("/dev/zero", 1 << 20).reading, FileContent::Reading::kTooLarge);
  EXPECT_EQ(ReadWholeFile(dir.File("missing"), 9).reading, FileContent::Reading::kUnreadable);
}

}  // namespace
}  // namespace vantorel
