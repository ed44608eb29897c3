#include "platform/ini_profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "corpus_line.h"
#include "platform/utf8.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::wstring Wide(const std::string& utf8) { return DecodeUtf8(utf8, InvalidUtf8::kAsLatin1); }

// The section-name list as the corpus writes it: every zero shown as '|'.
std::wstring ShowZeros(const std::vector<wchar_t>& buffer, std::size_t length) {
  std::wstring shown(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
  for (wchar_t& c : shown) {
    if (c == 0) c = L'|';
  }
  return shown;
}

// Each corpus case is an INI file and, beside it, the answers the profile
// calls give for it (the Windows build checks the same files):
//   names <TAB> capacity <TAB> count <TAB> list up to the final zero, zeros as |
//   value <TAB> capacity <TAB> section <TAB> key <TAB> count <TAB> value
TEST(IniProfile, AnswersEveryCorpusCase) {
  const fs::path corpus = fs::path(VANTOREL_TEST_DATA_DIR) / "ini";
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".ini") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const IniDocument document = IniDocument::Parse(ReadFile(entry.path()));
    std::istringstream expected(ReadFile(fs::path(entry.path()).replace_extension(".expected")));
    std::string line;
    int answers = 0;
    while (std::getline(expected, line)) {
      if (line.empty()) continue;
      ++answers;
      SCOPED_TRACE(line);
      if (line.starts_with("names\t")) {
        const auto f = corpus::Fields(line, 4);
        const auto capacity = static_cast<uint32_t>(std::stoul(f[1]));
        std::vector<wchar_t> buffer(capacity, L'#');
        const uint32_t count = document.SectionNames(buffer.data(), capacity);
        EXPECT_EQ(count, std::stoul(f[2]));
        const std::wstring list = Wide(f[3]);
        ASSERT_LE(list.size(), capacity);
        EXPECT_EQ(ShowZeros(buffer, list.size()), list);
      } else {
        ASSERT_TRUE(line.starts_with("value\t"));
        const auto f = corpus::Fields(line, 6);
        const auto capacity = static_cast<uint32_t>(std::stoul(f[1]));
        std::vector<wchar_t> buffer(capacity, L'#');
        const uint32_t count = document.String(Wide(f[2]), Wide(f[3]), buffer.data(), capacity);
        EXPECT_EQ(count, std::stoul(f[4]));
        EXPECT_EQ(std::wstring(buffer.data()), Wide(f[5]));
      }
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
