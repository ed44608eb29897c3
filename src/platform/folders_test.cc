#include "platform/folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

std::size_t EntriesIn(const std::filesystem::path& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                std::filesystem::directory_iterator()));
}

// However a replacement file ends, it leaves no descriptor open, and no
// temporary file unless it was put in place.
TEST(ReplacementFile, EndsWithoutDescriptorOrTemporaryFile) {
  const struct {
    const char* label;
    std::function<void(ReplacementFile&)> end;
    std::size_t entries;  // in the folder afterwards
  } kCases[] = {
      {"dropped while written", [](ReplacementFile&) {}, 0},
      {"dropped once finished", [](ReplacementFile& file) { EXPECT_TRUE(file.Finish()); }, 0},
      {"put in place",
       [](ReplacementFile& file) {
         EXPECT_TRUE(file.Finish());
         EXPECT_TRUE(file.PutInPlace(false));
       },
       1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    testing::TempDir dir;
    const std::size_t open = EntriesIn("/proc/self/fd");
    {
      ReplacementFile file(dir.File("target"));
      ASSERT_TRUE(file.IsOpen());
      EXPECT_EQ(EntriesIn("/proc/self/fd"), open + 1);
      EXPECT_TRUE(file.Write(reinterpret_cast<const uint8_t*>("bytes"), 5));
      c.end(file);
    }
    EXPECT_EQ(EntriesIn("/proc/self/fd"), open);
    EXPECT_EQ(EntriesIn(dir.path()), c.entries);
  }
}

}  // namespace
}  // namespace vantorel
