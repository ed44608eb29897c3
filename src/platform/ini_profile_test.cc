#include "platform/ini_profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "profile_corpus.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;

// Every query of the INI corpus gets the answer written beside it (the
// Windows build checks the same files against the real profile functions).
TEST(IniProfile, AnswersEveryCorpusCase) {
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(VANTOREL_TEST_DATA_DIR) / "ini")) {
    if (entry.path().extension() != ".ini") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const ProfileFile ini(entry.path().wstring(), std::size_t{1} << 20);
    std::ifstream expected(fs::path(entry.path()).replace_extension(".expected"));
    int answers = 0;
    for (std::string line; std::getline(expected, line); ++answers) {
      EXPECT_EQ(corpus::Answer(line, ini), line);
    }
    EXPECT_GT(answers, 0);
    ++checked;
  }
  EXPECT_GE(checked, 20);
}

TEST(IniProfile, SmallCapacitiesNeverWriteOutsideTheBuffer) {
  const IniDocument document = IniDocument::Parse("[Alpha]\nk=value\n[Beta]\n");
  for (uint32_t capacity = 0; capacity < 16; ++capacity) {
    std::vector<wchar_t> buffer(capacity + 2, L'#');
    const uint32_t names = document.SectionNames(buffer.data() + 1, capacity);
    const uint32_t value = document.String(L"Alpha", L"k", buffer.data() + 1, capacity);
    EXPECT_EQ(buffer.front(), L'#');
    EXPECT_EQ(buffer.back(), L'#');
    EXPECT_LE(names, capacity);
    EXPECT_LT(value, std::max<uint32_t>(capacity, 1));
  }
}

}  // namespace
}  // namespace vantorel
