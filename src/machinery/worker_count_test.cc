#include "machinery/worker_count.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(WorkerCount, WorkerCountIsDecimalDigitsUpTo256) {
  const struct {
    const wchar_t* value;
    std::optional<unsigned> count;
  } kCases[] = {
      {L"0", 0},
      {L"7", 7},
      {L"256", 256},
      {L"0256", 256},
      {L"000", 0},
      {L"", std::nullopt},
      {L"257", std::nullopt},
      {L"1000", std::nullopt},
      {L"-1", std::nullopt},
      {L"+1", std::nullopt},
      {L" 2", std::nullopt},
      {L"2 ", std::nullopt},
      {L"abc", std::nullopt},
      {L"1a", std::nullopt},
      {L"99999999999999999999", std::nullopt},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ParseWorkerCount(c.value), c.count) << std::wstring(c.value).size();
  }
}

}  // namespace
}  // namespace vantorel
