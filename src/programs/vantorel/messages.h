// The packer's one place for failures and warnings: each is printed here,
// its described lines on standard output and its reason on standard error
// ("vantorel: error: ..."), and the exit status follows from it.
#pragma once

#include "common/diagnostic.h"
#include "config/config_reader.h"

namespace vantorel {

inline constexpr int kExitImageWritten = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsageError = 2;

// "vantorel: warning: ..." on standard error, each.
void PrintWarnings(const Warnings& warnings);
// The same as "vantorel: error: ...", where warnings count as failures.
void PrintWarningsAsErrors(const Warnings& warnings);

// The exit status of a run that ended in a failure of this kind:
// kExitUsageError for misuse of the options, kExitFailed for the rest.
int ExitStatusFor(FailureKind kind);

// Prints a failure and returns its exit status: its described lines, its
// reason (a partition named by the section of `reading` that gave it, when
// there is a reading) and, after anything but misuse of the options, the
// error banner and the pause.
int Fail(const Diagnostic& failure, const ConfigurationReading* reading = nullptr);

// From inside a catch block: why the run cannot go on, the error banner and
// the pause; returns kExitFailed. Needs no memory of its own. Never throws.
int FailRunOnException() noexcept;

}  // namespace vantorel
