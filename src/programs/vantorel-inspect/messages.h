// vantorel-inspect's one place for failures: each is printed here as
// "vantorel-inspect: error: ...", on standard error, and its kind gives the
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

// A failure whose reason is given wide, as the paths it names are.
Diagnostic Failure(FailureKind kind, const std::wstring& reason);

// The refusal of an output target that exists, in the words both outputs
// use: the image being read and a folder are always refused, anything else
// unless forced. `nothingWritten` ends each reason ("nothing extracted").
Outcome RefuseExistingTarget(const std::wstring& name, bool isImage, bool isFolder, bool force,
                             const std::wstring& nothingWritten);

// The exit status of a run that ends in a failure of this kind: misuse of
// the options or of the environment and a configuration that cannot be
// read are kInspectMisuse, a failed read or write kInspectIoError, every
// other failure (the image, its findings, a refused output) kInspectFailed.
int InspectExitStatus(FailureKind kind);

// Prints a failure of the run: "vantorel-inspect: error: ...".
void PrintFailure(const Diagnostic& failure);

// From inside a catch block: says why on standard error and returns
// kInspectFailed. Needs no memory of its own. Never throws.
int FailInspectOnException() noexcept;

}  // namespace vantorel
