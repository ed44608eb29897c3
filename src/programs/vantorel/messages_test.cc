#include "programs/vantorel/messages.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vantorel {
namespace {

TEST(Messages, ExceptionEndsTheRunWithItsReasonAndTheErrorBanner) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  int status = 0;
  try {
    throw std::runtime_error("disk on fire");
  } catch (...) {
    status = FailRunOnException();
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "vantorel: error: cannot continue: disk on fire\n");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "========================\n          Error!        \n"
            "========================\ncannot generate new IoT file.\n");
  EXPECT_EQ(status, kExitFailed);
}

}  // namespace
}  // namespace vantorel
