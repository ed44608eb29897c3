#include "app/banners.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(Banners, FileNameOfTakesWhatFollowsTheLastBackslash) {
  EXPECT_EQ(FileNameOf(L"C:\\tools\\Vantorel.exe"), L"Vantorel.exe");
  EXPECT_EQ(FileNameOf(L"/usr/bin/vantorel"), L"/usr/bin/vantorel");
  EXPECT_EQ(FileNameOf(L"vantorel"), L"vantorel");
  EXPECT_EQ(FileNameOf(L"C:\\tools\\"), L"");
}

}  // namespace
}  // namespace vantorel
