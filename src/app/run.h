// One run of the tool, from the version banner to the exit status.
#pragma once

namespace vantorel {

inline constexpr int kExitImageWritten = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsageError = 2;

int Run(int argc, const wchar_t* const* argv);

}  // namespace vantorel
