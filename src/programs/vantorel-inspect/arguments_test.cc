#include "programs/vantorel-inspect/arguments.h"

#include <gtest/gtest.h>

#include <vector>

#include "programs/vantorel-inspect/messages.h"

namespace vantorel {
namespace {

Outcome Parse(std::vector<const wchar_t*> arguments, InspectCommand& command) {
  arguments.insert(arguments.begin(), L"vantorel-inspect");
  return ParseInspectArguments(static_cast<int>(arguments.size()), arguments.data(), command);
}

TEST(InspectArguments, MisuseIsRefusedWithItsReason) {
  const struct {
    std::vector<const wchar_t*> arguments;
    const char* reason;
  } kCases[] = {
      {{}, "no image given"},
      {{L"--bogus", L"a.img"}, "unknown option --bogus"},
      {{L"a.img", L"--extract"}, "--extract needs a value"},
      {{L"a.img", L"--config"}, "--config needs a value"},
      {{L"a.img", L"--extract", L""}, "--extract needs a value that is not empty"},
      {{L"--config", L"", L"a.img"}, "--config needs a value that is not empty"},
      {{L"a.img", L"b.img"}, "one image at a time (b.img)"},
      {{L"--fill", L"256", L"--flash", L"f", L"a.img"},
       "--fill takes a number from 0 to 255 (decimal, or hexadecimal after 0x), not '256'"},
      {{L"--base", L"12abc", L"--flash", L"f", L"a.img"},
       "--base takes a number from 0 to 4294967295 (decimal, or hexadecimal after 0x), not "
       "'12abc'"},
      {{L"--size", L"4294967297", L"--flash", L"f", L"a.img"},
       "--size takes a number from 0 to 4294967296 (decimal, or hexadecimal after 0x), not "
       "'4294967297'"},
      {{L"--partition", L"x", L"--extract", L"d", L"a.img"},
       "--partition takes a number from 0 to 4294967295 (decimal, or hexadecimal after 0x), not "
       "'x'"},
      {{L"--format", L"hex", L"--flash", L"f", L"a.img"},
       "--format takes bin, ihex, srec or uf2, not 'hex'"},
      {{L"--base", L"0", L"a.img"}, "--fill, --format, --base, --size and --family need --flash"},
      {{L"--format", L"srec", L"a.img"},
       "--fill, --format, --base, --size and --family need --flash"},
      {{L"--flash", L"f", L"--family", L"1", L"a.img"}, "--family is for --format uf2"},
      {{L"--flash", L"f", L"--format", L"uf2", L"--family", L"0x100000000", L"a.img"},
       "--family takes a number from 0 to 4294967295 (decimal, or hexadecimal after 0x), not "
       "'0x100000000'"},
      {{L"--partition", L"1", L"a.img"}, "--partition needs --extract"},
      {{L"--flash", L"f", L"--base", L"0xFFFFFFFF", L"--size", L"2", L"a.img"},
       "--base and --size reach past 4 GiB, beyond 32-bit flash addresses"},
      {{L"--diff", L"old.img", L"--strict", L"new.img"},
       "--diff compares two images and takes no other option but --json"},
      {{L"--config", L"c.ini", L"--extract", L"d"}, "--extract needs an image"},
      {{L"--config", L"c.ini", L"--flash", L"f"}, "--flash needs an image"},
  };
  for (const auto& c : kCases) {
    InspectCommand command;
    const Outcome outcome = Parse(c.arguments, command);
    ASSERT_FALSE(outcome.ok()) << c.reason;
    EXPECT_EQ(outcome.kind(), FailureKind::kUsage);
    EXPECT_EQ(DiagnosticText(outcome.failure()), c.reason);
  }
}

TEST(InspectArguments, OptionsInAnyOrderFillTheCommand) {
  InspectCommand command;
  ASSERT_TRUE(
      Parse({L"--json",   L"--flash",     L"f.hex",    L"--format",    L"ihex",       L"--fill",
             L"0x00",     L"--base",      L"0x1000",   L"--size",      L"0xFFFFF000", L"--extract",
             L"out",      L"--partition", L"3",        L"--partition", L"0",          L"--force",
             L"--strict", L"-",           L"--config", L"c.ini"},
            command)
          .ok());
  EXPECT_EQ(command.image, L"-");
  EXPECT_EQ(command.config, L"c.ini");
  EXPECT_EQ(command.extractDirectory, L"out");
  EXPECT_EQ(command.partitions, (std::set<std::size_t>{0, 3}));
  EXPECT_EQ(command.flash.file, L"f.hex");
  EXPECT_EQ(command.flash.format, FlashFormat::kIntelHex);
  EXPECT_EQ(command.flash.fill, 0);
  EXPECT_EQ(command.flash.base, 0x1000u);
  EXPECT_EQ(command.flash.size, 0xFFFFF000u);
  EXPECT_TRUE(command.flash.adjusted && command.force && command.json && command.strict);

  for (const auto& [arguments, valid] : std::vector<std::pair<std::vector<const wchar_t*>, bool>>{
           {{L"--config", L"c.ini"}, true},
           {{L"--diff", L"old.img", L"--json", L"new.img"}, true},
           {{L"-h"}, true},
           {{L"--version"}, true}}) {
    InspectCommand other;
    EXPECT_EQ(Parse(arguments, other).ok(), valid);
  }
}

}  // namespace
}  // namespace vantorel
