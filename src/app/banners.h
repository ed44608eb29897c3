// The fixed texts of the front end: version banner, usage text, error banner.
#pragma once

#include <string>
#include <string_view>

namespace vantorel {

void PrintVersionBanner();
void PrintUsage(const wchar_t* programPath);
void PrintErrorBanner();

// The part of the path after its last backslash; the whole path without one.
std::wstring FileNameOf(std::wstring_view path);

}  // namespace vantorel
