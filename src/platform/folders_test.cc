#include "platform/folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

using ::vantorel::testing::ReadBytes;
using ::vantorel::testing::TempDir;

std::vector<uint8_t> BytesOf(std::string_view text) { return {text.begin(), text.end()}; }

// A file that appears at the target is never replaced.
TEST(Folders, RenameWithoutReplacingLeavesAnExistingFile) {
  TempDir dir;
  const std::string from = dir.Write("from", "mine");
  const std::string to = dir.Write("to", "theirs");
  EXPECT_FALSE(RenameWithoutReplacing(from, to));
  EXPECT_EQ(ReadBytes(to), BytesOf("theirs"));
  EXPECT_EQ(ReadBytes(from), BytesOf("mine"));
  RemoveFile(to);
  EXPECT_TRUE(RenameWithoutReplacing(from, to));
  EXPECT_EQ(ReadBytes(to), BytesOf("mine"));
  EXPECT_FALSE(std::filesystem::exists(from));
}

}  // namespace
}  // namespace vantorel
