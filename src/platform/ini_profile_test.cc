#include "platform/ini_profile.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
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

// Over many sections, each name standing three times in other case (ASCII
// and Latin-1 letters), every lookup answers from the first of its name, a
// key only a later one holds is missing, and each repeat names the first.
// The multiplication and division signs are no pair of cases.
TEST(IniProfile, ManySectionsAnswerFromTheFirstOfEachName) {
  constexpr int kNames = 1000;
  const char* const forms[] = {"s%d\xC3\xA0", "S%d\xC3\x80", "s%d\xC3\x80"};  // sNà, SNÀ, sNÀ
  std::string text;
  for (int round = 0; round < 3; ++round) {
    for (int n = 0; n < kNames; ++n) {
      char header[32];
      std::snprintf(header, sizeof header, forms[round], n);
      const std::string tag = std::to_string(round) + "_" + std::to_string(n);
      text += std::string("[") + header + "]\nv=" + tag + "\nonly" + tag + "=x\n";
    }
  }
  text += "[a\xC3\x97]\nv=times\n[A\xC3\xB7]\nv=divide\n";  // a×, A÷
  const IniDocument document = IniDocument::Parse(text);

  const auto value = [&](const std::wstring& section, const std::wstring& key) {
    std::array<wchar_t, 32> buffer{};
    document.String(section, key, buffer.data(), static_cast<uint32_t>(buffer.size()));
    return std::wstring(buffer.data());
  };
  for (int n = 0; n < kNames; n += 37) {
    SCOPED_TRACE(n);
    const std::wstring number = std::to_wstring(n);
    EXPECT_EQ(value(L"s" + number + L"\u00E0", L"v"), L"0_" + number);
    EXPECT_EQ(value(L"S" + number + L"\u00C0", L"V"), L"0_" + number);
    EXPECT_EQ(value(L" s" + number + L"\u00C0\t", L"v"), L"0_" + number);
    EXPECT_EQ(value(L"S" + number + L"\u00C0", L"ONLY0_" + number), L"x");
    EXPECT_EQ(value(L"S" + number + L"\u00C0", L"only1_" + number), L"");
    EXPECT_EQ(document.KeyLine(L"S" + number + L"\u00C0", L"v"), static_cast<uint32_t>(3 * n + 2));
    EXPECT_EQ(document.KeyLine(L"S" + number + L"\u00C0", L"only2_" + number), 0u);
  }
  EXPECT_EQ(value(L"s1000\u00E0", L"v"), L"");
  EXPECT_EQ(value(L"A\u00D7", L"v"), L"times");
  EXPECT_EQ(value(L"a\u00F7", L"v"), L"divide");

  const auto repeats = document.Repeats();
  ASSERT_EQ(repeats.size(), std::size_t{2 * kNames});
  for (std::size_t i = 0; i < repeats.size(); ++i) {
    EXPECT_EQ(repeats[i].key, L"");
    EXPECT_EQ(repeats[i].line, static_cast<uint32_t>(3 * (kNames + i) + 1));
    EXPECT_EQ(repeats[i].firstLine, static_cast<uint32_t>(3 * (i % kNames) + 1));
  }
  EXPECT_EQ(repeats[kNames].section, L"s0\u00C0");
}

// With many keys in one section, each name standing twice in other case,
// the first answers and every later one is a repeat that names it.
TEST(IniProfile, ManyKeysAnswerFromTheFirstOfEachName) {
  constexpr int kNames = 2000;
  std::string text = "[Section]\n";
  for (int n = 0; n < kNames; ++n)
    text += "Key" + std::to_string(n) + "=" + std::to_string(n) + "\n";
  for (int n = 0; n < kNames; ++n) text += " kEY" + std::to_string(n) + " =late\n";
  const IniDocument document = IniDocument::Parse(text);
  const auto repeats = document.Repeats();
  ASSERT_EQ(repeats.size(), std::size_t{kNames});
  for (int n = 0; n < kNames; n += 97) {
    std::array<wchar_t, 16> buffer{};
    document.String(L"section", L"KEY" + std::to_wstring(n), buffer.data(),
                    static_cast<uint32_t>(buffer.size()));
    EXPECT_EQ(std::wstring(buffer.data()), std::to_wstring(n));
    EXPECT_EQ(repeats[n].key, L"kEY" + std::to_wstring(n));
    EXPECT_EQ(repeats[n].line, static_cast<uint32_t>(kNames + n + 2));
    EXPECT_EQ(repeats[n].firstLine, static_cast<uint32_t>(n + 2));
  }
}

}  // namespace
}  // namespace vantorel
