#include "config/section_names.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(SectionNames, TheSpecialNameMeant) {
  const struct {
    const wchar_t* name;
    const wchar_t* meant;  // null: none
  } kCases[] = {
      {L"General Settings", L"General Setting"},
      {L"general setting", L"General Setting"},
      {L"GeneralSetting", L"General Setting"},
      {L"Genreal Setting", L"General Setting"},  // two letters swapped: one edit
      {L"Genral Seting", L"General Setting"},
      {L"Gen Setting", nullptr},
      {L"bootloader", L"Bootloader"},
      {L"Boot loader", L"Bootloader"},
      {L"Bootloader2", L"Bootloader"},
      {L"Ext_Bootloader", L"Ext-Bootloader"},
      {L"ExtBootloader", L"Ext-Bootloader"},
      {L"General Setting", nullptr},
      {L"Bootloader", nullptr},
      {L"Ext-Bootloader", nullptr},
      {L"Boot", nullptr},
      {L"Application", nullptr},
      {L"Resources", nullptr},
      {L"", nullptr},
  };
  for (const auto& c : kCases) {
    const auto meant = SpecialNameMeant(c.name);
    EXPECT_EQ(meant.has_value(), c.meant != nullptr) << std::wstring(c.name).size();
    if (meant && c.meant) {
      EXPECT_EQ(*meant, std::wstring_view(c.meant));
    }
  }
}

}  // namespace
}  // namespace vantorel
