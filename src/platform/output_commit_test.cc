#include "platform/output_commit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

using ::vantorel::testing::ReadBytes;
using ::vantorel::testing::TempDir;

constexpr OutputPolicy kImage{.seeks = true, .locks = true, .inPlaceWhenRefused = true};
constexpr OutputPolicy kExtracted{.replaceAnyEntry = true, .replaceExisting = false};

std::vector<uint8_t> AsBytes(std::string_view text) { return {text.begin(), text.end()}; }

std::size_t EntriesIn(const std::filesystem::path& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                std::filesystem::directory_iterator()));
}

void WriteText(CommittedOutput& output, std::string_view text) {
  ASSERT_TRUE(output.IsOpen());
  ASSERT_TRUE(output.File().Write(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// However an output ends, it leaves no descriptor open and no file but the
// target; the target changes only at the commit, keeps its permission bits,
// and is put back when the commit is not kept.
TEST(CommittedOutput, EndsWithTheTargetAsItWasOrWhole) {
  const struct {
    const char* label;
    std::function<void(CommittedOutput&)> end;
    bool replaced;  // the target holds the new bytes afterwards
  } kCases[] = {
      {"dropped while written", [](CommittedOutput&) {}, false},
      {"dropped once synced", [](CommittedOutput& out) { EXPECT_TRUE(out.Sync()); }, false},
      {"committed and dropped", [](CommittedOutput& out) { EXPECT_TRUE(out.Commit()); }, false},
      {"committed, undone",
       [](CommittedOutput& out) {
         EXPECT_TRUE(out.Commit());
         EXPECT_TRUE(out.Undo());
       },
       false},
      {"committed and kept",
       [](CommittedOutput& out) {
         EXPECT_TRUE(out.Commit());
         out.Keep();
       },
       true},
  };
  for (const auto& c : kCases) {
    for (const bool existed : {true, false}) {
      SCOPED_TRACE(std::string(c.label) + (existed ? ", over a file" : ", a new file"));
      TempDir dir;
      const std::string path = existed ? dir.Write("out", "old") : dir.File("out");
      if (existed) chmod(path.c_str(), 0640);
      const std::size_t open = EntriesIn("/proc/self/fd");
      {
        CommittedOutput output(path, kImage);
        EXPECT_FALSE(output.InPlace());
        WriteText(output, "new");
        c.end(output);
      }
      EXPECT_EQ(EntriesIn("/proc/self/fd"), open);
      EXPECT_EQ(EntriesIn(dir.path()), existed || c.replaced ? 1u : 0u);
      if (c.replaced || existed) {
        EXPECT_EQ(ReadBytes(path), AsBytes(c.replaced ? "new" : "old"));
      }
      struct stat info;
      if (existed && stat(path.c_str(), &info) == 0) {
        EXPECT_EQ(info.st_mode & 07777, 0640u);
      }
    }
  }
}

// What stands at the target: a link is followed for the image and a flash
// file, and replaced for an extracted partition; a FIFO is replaced for an
// extracted partition without ever being opened.
TEST(CommittedOutput, LinksAndFifosAtTheTarget) {
  const struct {
    const char* label;
    bool fifo;  // else a link to a file
    OutputPolicy policy;
  } kCases[] = {
      {"link, followed", false, kImage},
      {"link, replaced", false, kExtracted},
      {"fifo, replaced", true, kExtracted},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    const std::string file = dir.Write("file", "old");
    const std::string target = dir.File("target");
    if (c.fifo) {
      ASSERT_EQ(mkfifo(target.c_str(), 0600), 0);
    } else {
      std::filesystem::create_symlink(file, target);
    }
    // Extraction moves what stands there aside first.
    if (!c.policy.replaceExisting) std::filesystem::rename(target, dir.File("aside"));
    CommittedOutput output(target, c.policy);
    EXPECT_FALSE(output.InPlace());
    WriteText(output, "new");
    ASSERT_TRUE(output.Commit());
    output.Keep();
    const bool followed = !c.policy.replaceAnyEntry;
    EXPECT_EQ(std::filesystem::is_symlink(target), followed);
    EXPECT_EQ(ReadBytes(file), AsBytes(followed ? "new" : "old"));
    EXPECT_EQ(ReadBytes(target), AsBytes("new"));
  }
}

}  // namespace
}  // namespace vantorel
