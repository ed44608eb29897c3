#include "programs/vantorel-inspect/messages.h"

#include <gtest/gtest.h>

#include <new>

namespace vantorel {
namespace {

TEST(InspectMessages, ExceptionEndsTheRunWithItsReason) {
  ::testing::internal::CaptureStderr();
  int status = 0;
  try {
    throw std::bad_alloc();
  } catch (...) {
    status = FailInspectOnException();
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "vantorel-inspect: error: cannot continue: not enough memory\n");
  EXPECT_EQ(status, kInspectFailed);
}

}  // namespace
}  // namespace vantorel
