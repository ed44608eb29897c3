#include "programs/vantorel/depfile.h"

#include <gtest/gtest.h>

#include "platform/host.h"

namespace vantorel {
namespace {

TEST(Depfile, RulesThatMakeAndNinjaRead) {
  const std::string backslash = FolderSeparator() == '\\' ? "\\" : "\\\\";
  const struct {
    std::string target;
    std::vector<std::string> prerequisites;
    std::optional<std::string> rule;
  } kCases[] = {
      {"out.img", {"/p/cfg.ini", "/p/app.bin"}, "out.img: \\\n  /p/cfg.ini \\\n  /p/app.bin\n"},
      {"my image.img", {"/p/a b#1.bin"}, "my\\ image.img: \\\n  /p/a\\ b\\#1.bin\n"},
      {"$HOME.img", {"/p/$x"}, "$$HOME.img: \\\n  /p/$$x\n"},
      {"a\\b.img", {}, "a" + backslash + "b.img:\n"},
      {"out.img", {"/p/line\nend"}, std::nullopt},
      {"out\r.img", {}, std::nullopt},
  };
  for (const auto& c : kCases) EXPECT_EQ(DependencyRule(c.target, c.prerequisites), c.rule);
}

TEST(Depfile, PrerequisitesFromTheCurrentFolder) {
  const std::string folder = CurrentFolder().value();
  const std::string separator(1, FolderSeparator());
  EXPECT_EQ(PrerequisitePath("app.bin"), folder + separator + "app.bin");
  EXPECT_EQ(PrerequisitePath(separator + "abs" + separator + "app.bin"),
            separator + "abs" + separator + "app.bin");
}

}  // namespace
}  // namespace vantorel
