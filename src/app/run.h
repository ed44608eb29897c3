// One run of the tool, from the version banner to the exit status.
#pragma once

namespace vantorel {

inline constexpr int kExitImageWritten = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsageError = 2;

// Runs the tool once and returns the exit status: kExitImageWritten only
// when the image writer returned 0, kExitUsageError after misuse of the
// options (whose lines are printed), kExitFailed after -h and after every
// other failure, which ends with the failure's lines, the error banner and
// the pause. Never throws.
int Run(int argc, const wchar_t* const* argv) noexcept;

// Ends a run whose start-up threw, from inside a catch block: says why,
// prints the error banner and pauses; returns kExitFailed. Never throws.
int FailRunOnException() noexcept;

}  // namespace vantorel
