#include "programs/vantorel-inspect/command_number.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(CommandNumber, ReadsDecimalAndHexAndRefusesTheRest) {
  const struct {
    const wchar_t* text;
    uint64_t maximum;
    std::optional<uint64_t> value;
  } cases[] = {
      {L"0", 0xFF, 0},
      {L"255", 0xFF, 255},
      {L"0xff", 0xFF, 255},
      {L"0XFF", 0xFF, 255},
      {L"256", 0xFF, std::nullopt},
      {L"0x100", 0xFF, std::nullopt},
      {L"4294967296", uint64_t{1} << 32, uint64_t{1} << 32},
      {L"0x100000001", uint64_t{1} << 32, std::nullopt},
      {L"99999999999999999999999", UINT64_MAX, std::nullopt},
      {L"0x", 0xFF, std::nullopt},
      {L"", 0xFF, std::nullopt},
      {L"-1", 0xFF, std::nullopt},
      {L"+1", 0xFF, std::nullopt},
      {L" 1", 0xFF, std::nullopt},
      {L"1k", 0xFF, std::nullopt},
      {L"0b1", 0xFF, std::nullopt},
      {L"1a", 0xFF, std::nullopt},
      {L"010", 0xFF, 10},  // no octal
      {L"5", 3, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseCommandNumber(c.text, c.maximum), c.value) << c.text;
  }
}

}  // namespace
}  // namespace vantorel
