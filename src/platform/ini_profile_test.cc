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

// Names that no lookup can find (a blank, then a zero that ends the name)
// repeat nothing, and the repeats of the others name both lines.
TEST(IniProfile, RepeatsNameTheFirstOccurrence) {
  using namespace std::string_literals;
  const IniDocument document =
      IniDocument::Parse("[A]\nk=1\nK=2\n[a]\nk=3\n[B \0x]\n[B \0y]\nj \0=1\nj \0=2\n"s);
  const auto repeats = document.Repeats();
  ASSERT_EQ(repeats.size(), 2u);
  EXPECT_EQ(repeats[0].key, L"K");
  EXPECT_EQ(repeats[0].line, 3u);
  EXPECT_EQ(repeats[0].firstLine, 2u);
  EXPECT_EQ(repeats[1].section, L"a");
  EXPECT_EQ(repeats[1].key, L"");
  EXPECT_EQ(repeats[1].line, 4u);
  EXPECT_EQ(repeats[1].firstLine, 1u);
}

}  // namespace
}  // namespace vantorel
