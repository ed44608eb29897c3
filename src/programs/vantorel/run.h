// One run of the packer, from the process's arguments to the exit status.
#pragma once

#include "platform/program.h"
#include "programs/vantorel/messages.h"

namespace vantorel {

// The whole program behind the entry point: readies the process, takes the
// arguments as the system gives them, runs the packer once and returns the
// exit status: kExitImageWritten only when the image writer succeeded,
// kExitUsageError after misuse of the options, kExitFailed after -h and
// after every other failure, which ends with the failure's lines and reason,
// the error banner and the pause. Never throws.
int RunVantorel(int argc, NativeArgv argv) noexcept;

}  // namespace vantorel
