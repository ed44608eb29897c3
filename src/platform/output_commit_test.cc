#include "platform/output_commit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/folders.h"
#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

using ::vantorel::testing::ReadBytes;
using ::vantorel::testing::TempDir;

std::vector<uint8_t> AsBytes(std::string_view text) { return {text.begin(), text.end()}; }

std::size_t EntriesIn(const TempDir& dir) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir.path()),
                                                std::filesystem::directory_iterator()));
}

void WriteText(CommittedOutput& output, std::string_view text) {
  ASSERT_TRUE(output.File().Write(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// Until the commit the output keeps its bytes; a run that ends without one
// leaves no temporary file.
TEST(CommittedOutput, OutputChangesOnlyAtTheCommit) {
  TempDir dir;
  const std::string path = dir.Write("out", "old");
  chmod(path.c_str(), 0640);
  {
    CommittedOutput output(path);
    ASSERT_TRUE(output.IsOpen());
    EXPECT_FALSE(output.InPlace());
    WriteText(output, "abandoned");
  }
  EXPECT_EQ(ReadBytes(path), AsBytes("old"));
  EXPECT_EQ(EntriesIn(dir), 1u);

  CommittedOutput output(path);
  WriteText(output, "new");
  EXPECT_EQ(ReadBytes(path), AsBytes("old"));
  ASSERT_TRUE(output.Commit());
  EXPECT_EQ(ReadBytes(path), AsBytes("new"));
  output.Keep();
  EXPECT_EQ(EntriesIn(dir), 1u);
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// A run that fails after the commit (its last line lost) puts the previous
// output back, or removes an output that was not there before.
TEST(CommittedOutput, DroppedWithoutKeepPutsThePreviousOutputBack) {
  for (const bool existed : {true, false}) {
    TempDir dir;
    const std::string path = existed ? dir.Write("out", "old") : dir.File("out");
    {
      CommittedOutput output(path);
      WriteText(output, "new");
      ASSERT_TRUE(output.Commit());
      EXPECT_EQ(ReadBytes(path), AsBytes("new"));
    }
    EXPECT_EQ(EntriesIn(dir), existed ? 1u : 0u);
    if (existed) {
      EXPECT_EQ(ReadBytes(path), AsBytes("old"));
    }
  }
}

// A link keeps pointing at the file, which gets the new bytes.
TEST(CommittedOutput, LinkIsFollowedNotReplaced) {
  TempDir dir;
  const std::string file = dir.Write("file", "old");
  const std::string link = dir.File("link");
  std::filesystem::create_symlink(file, link);
  CommittedOutput output(link);
  WriteText(output, "new");
  ASSERT_TRUE(output.Commit());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(file), AsBytes("new"));
}

TEST(CommittedOutput, DeviceIsWrittenInPlace) {
  CommittedOutput output("/dev/null");
  ASSERT_TRUE(output.IsOpen());
  EXPECT_TRUE(output.InPlace());
  WriteText(output, "bytes");
  EXPECT_TRUE(output.Commit());
}

// A file that appears at the target is never replaced.
TEST(Folders, RenameWithoutReplacingLeavesAnExistingFile) {
  TempDir dir;
  const std::string from = dir.Write("from", "mine");
  const std::string to = dir.Write("to", "theirs");
  EXPECT_FALSE(RenameWithoutReplacing(from, to));
  EXPECT_EQ(ReadBytes(to), AsBytes("theirs"));
  EXPECT_EQ(ReadBytes(from), AsBytes("mine"));
  RemoveFile(to);
  EXPECT_TRUE(RenameWithoutReplacing(from, to));
  EXPECT_EQ(ReadBytes(to), AsBytes("mine"));
  EXPECT_FALSE(std::filesystem::exists(from));
}

}  // namespace
}  // namespace vantorel
