#include "programs/vantorel/option_scanner.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vantorel {
namespace {

struct ScanCase {
  std::vector<std::wstring> arguments;  // without the program path
  std::vector<int> results;
  std::vector<std::optional<std::wstring>> optionArguments;  // after each call
  int finalNextIndex;
};

const std::optional<std::wstring> kNone;

TEST(OptionScanner, ScansEveryKindOfArgumentVector) {
  const std::vector<ScanCase> kCases = {
      {{L"-i", L"a.ini", L"-o", L"b.bin"}, {'i', 'o', -1}, {L"a.ini", L"b.bin", kNone}, 5},
      {{L"-ia.ini"}, {'i', -1}, {L"a.ini", kNone}, 2},
      {{L"-i"}, {'?'}, {kNone}, 2},
      {{L"-i", L"-o", L"b.bin"}, {'i', -1}, {L"-o", L"b.bin"}, 3},
      {{L"-hi", L"x"}, {'h', 'i', -1}, {kNone, L"x", kNone}, 3},
      {{L"-hx"}, {'h', '?'}, {kNone, kNone}, 2},
      {{L"-x"}, {'?'}, {kNone}, 2},
      {{L"-:"}, {'?'}, {kNone}, 2},
      {{L"-I", L"a.ini"}, {'?'}, {kNone}, 2},
      {{L"-"}, {-1}, {L"-"}, 1},
      {{L"--", L"-i", L"a.ini"}, {-1}, {L"-i"}, 2},
      {{L"--"}, {-1}, {kNone}, 2},
      {{L"--x"}, {'?'}, {kNone}, 2},
      {{L"a.ini", L"-i", L"b.ini"}, {-1}, {L"a.ini"}, 1},
      {{L"/i", L"a.ini"}, {-1}, {L"/i"}, 1},
      {{L""}, {-1}, {L""}, 1},
      {{L"-i", L"a.ini", L"-i", L"b.ini"}, {'i', 'i', -1}, {L"a.ini", L"b.ini", kNone}, 5},
      {{L"-i", L""}, {'i', -1}, {L"", kNone}, 3},
      {{}, {-1}, {kNone}, 1},
  };
  for (const ScanCase& c : kCases) {
    std::vector<const wchar_t*> argv{L"vantorel"};
    for (const auto& argument : c.arguments) argv.push_back(argument.c_str());
    std::wstring label;
    for (const auto& argument : c.arguments) label += L"[" + argument + L"]";
    SCOPED_TRACE(std::string(label.begin(), label.end()));

    OptionScanner scanner;
    for (std::size_t call = 0; call < c.results.size(); ++call) {
      EXPECT_EQ(scanner.NextOption(static_cast<int>(argv.size()), argv.data()), c.results[call])
          << "call " << call;
      const auto actual =
          scanner.optionArgument ? std::optional<std::wstring>(scanner.optionArgument) : kNone;
      EXPECT_EQ(actual, c.optionArguments[call]) << "call " << call;
    }
    EXPECT_EQ(scanner.nextIndex, c.finalNextIndex);
  }
}

}  // namespace
}  // namespace vantorel
