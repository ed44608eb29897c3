// One run of vantorel-inspect, from its arguments to its exit status.
#pragma once

namespace vantorel {

inline constexpr int kInspectPassed = 0;
inline constexpr int kInspectFailed = 1;
inline constexpr int kInspectMisuse = 2;
// A read or write failed: the image, a partition file of the configuration,
// standard output or an extracted file. No verdict about the image.
inline constexpr int kInspectIoError = 3;

// Verifies the image the arguments name (and compares it with a
// configuration, checks its flash layout, extracts it, as asked), prints the
// report on standard output and every complaint about the run itself on
// standard error. Returns kInspectPassed when the image is sound, matches
// the configuration if one was given and, under --strict, has no layout
// warning; kInspectMisuse for unusable options, a VANTOREL_THREADS value or
// a configuration that cannot be read; kInspectIoError when a read or write
// failed (the report, if printed, then is not to be trusted to have
// arrived); kInspectFailed otherwise, also when
// memory, file handles or the system fail it. Writes nothing but what
// --extract asks for. Never throws.
int RunInspect(int argc, const wchar_t* const* argv) noexcept;

// Ends a run whose start-up threw, from inside a catch block: says why on
// standard error and returns kInspectFailed. Never throws.
int FailInspectOnException() noexcept;

}  // namespace vantorel
