#include "platform/exception_reason.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

namespace vantorel {
namespace {

TEST(ExceptionReason, TellsWhatWasThrown) {
  const struct {
    std::function<void()> fail;
    const char* reason;
  } kCases[] = {
      {[] { throw std::bad_alloc(); }, "not enough memory"},
      {[] { throw std::runtime_error("no file handle left"); }, "no file handle left"},
      {[] { throw 42; }, "an unexpected failure"},
  };
  for (const auto& c : kCases) {
    try {
      c.fail();
    } catch (...) {
      EXPECT_EQ(std::string(ReasonOfCurrentException()), c.reason);
    }
  }
}

}  // namespace
}  // namespace vantorel
