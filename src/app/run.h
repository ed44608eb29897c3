// One run of the tool, from the version banner to the exit status.
#pragma once

#include "app/messages.h"

namespace vantorel {

// Runs the tool once and returns the exit status: kExitImageWritten only
// when the image writer succeeded, kExitUsageError after misuse of the
// options, kExitFailed after -h and after every other failure, which ends
// with the failure's lines and reason, the error banner and the pause.
// Never throws.
int Run(int argc, const wchar_t* const* argv) noexcept;

}  // namespace vantorel
