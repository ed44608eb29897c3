// Reading the configuration file: the two profile calls of the Windows API,
// with their buffer capacities and returned counts.
#pragma once

#include <cstdint>
#include <string>

namespace vantorel {

uint32_t ProfileSectionNames(wchar_t* buffer, uint32_t capacity, const std::wstring& path);

uint32_t ProfileString(const std::wstring& section, const std::wstring& key, wchar_t* buffer,
                       uint32_t capacity, const std::wstring& path);

}  // namespace vantorel
