// vantorel-inspect's one place for failures: each is printed here as
// "vantorel-inspect: error: ..." on standard error, and its status is the
// exit status.
#pragma once

#include <string>

#include "common/diagnostic.h"

namespace vantorel {

inline constexpr int kInspectPassed = 0;
inline constexpr int kInspectFailed = 1;
inline constexpr int kInspectMisuse = 2;
// A read or write failed: the image, a partition file of the configuration,
// standard output or an extracted file. No verdict about the image.
inline constexpr int kInspectIoError = 3;

// A failure of the run itself (kInspectFailed), its reason given wide as
// the paths it names are.
Diagnostic RunFailure(const std::wstring& reason);

// Prints why the run failed; returns the failure's status.
int FailInspect(const Diagnostic& failure);

// From inside a catch block: says why on standard error and returns
// kInspectFailed. Needs no memory of its own. Never throws.
int FailInspectOnException() noexcept;

}  // namespace vantorel
