// The section names the reader gives a role of their own, and the one a
// section's name was probably meant to be.
#pragma once

#include <optional>
#include <string_view>

namespace vantorel {

inline constexpr std::wstring_view kGeneralSettingName = L"General Setting";

// Bootloader, Ext-Bootloader, and any name with Flash in it (exactly so:
// case counts here, as it does not for lookups).
bool IsPassedOverName(std::wstring_view name);

// The special name (General Setting, Bootloader, Ext-Bootloader) that `name`
// differs from only in case or by one or two letters written, left out,
// changed or swapped; none for a special name itself and for every name
// farther from them.
std::optional<std::wstring_view> SpecialNameMeant(std::wstring_view name);

}  // namespace vantorel
