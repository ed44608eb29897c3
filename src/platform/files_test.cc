#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

using ::vantorel::testing::ReadBytes;
using ::vantorel::testing::TempDir;

TEST(Files, ReadWholeFileReadsNoMoreThanItsLimit) {
  TempDir dir;
  const std::string path = dir.Write("f", "0123456789");
  const FileContent whole = ReadWholeFile(path, 10);
  EXPECT_EQ(whole.outcome, FileContent::Outcome::kRead);
  EXPECT_EQ(whole.bytes, "0123456789");
  EXPECT_EQ(ReadWholeFile(path, 9).outcome, FileContent::Outcome::kTooLarge);
  EXPECT_EQ(ReadWholeFile("/dev/zero", 1 << 20).outcome, FileContent::Outcome::kTooLarge);
  EXPECT_EQ(ReadWholeFile(dir.File("missing"), 9).outcome, FileContent::Outcome::kUnreadable);
}

TEST(Files, IdentityIsTheFileNotItsSpelling) {
  TempDir dir;
  const std::string path = dir.Write("f", "x");
  const std::string other = dir.Write("g", "x");
  ASSERT_EQ(link(path.c_str(), dir.File("hard").c_str()), 0);
  const auto identity = IdentityOfPath(path);
  ASSERT_TRUE(identity);
  EXPECT_EQ(IdentityOfPath(dir.path().string() + "/./f"), identity);
  EXPECT_EQ(IdentityOfPath(dir.File("hard")), identity);
  EXPECT_NE(IdentityOfPath(other), identity);
  EXPECT_EQ(InputFile(path).Identity(), identity);
  EXPECT_EQ(IdentityOfPath(dir.File("missing")), std::nullopt);
}

// An output file keeps its bytes until it is claimed: locked, then emptied.
TEST(Files, OutputFileIsEmptiedOnlyWhenAsked) {
  TempDir dir;
  const std::string path = dir.Write("out", "previous image");
  OutputFile output(path);
  ASSERT_TRUE(output.IsOpen());
  EXPECT_EQ(ReadBytes(path).size(), 14u);
  EXPECT_TRUE(output.TryLock());
  OutputFile second(path);
  EXPECT_FALSE(second.TryLock());
  EXPECT_TRUE(output.Truncate());
  EXPECT_TRUE(ReadBytes(path).empty());
  EXPECT_TRUE(output.Close());
  EXPECT_TRUE(second.TryLock());
}

}  // namespace
}  // namespace vantorel
