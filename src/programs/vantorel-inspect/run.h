// One run of vantorel-inspect, from the process's arguments to its exit
// status.
#pragma once

#include "platform/program.h"
#include "programs/vantorel-inspect/messages.h"

namespace vantorel {

// The whole program behind the entry point: readies the process, takes the
// arguments as the system gives them, then verifies the image they name (and
// compares it with a configuration, checks its flash layout, extracts it, as
// asked), or, given a configuration and no image, explains what the
// configuration makes. Prints the report on standard output and every
// failure of the run itself on standard error. Returns kInspectPassed when
// the image is sound, matches the configuration if one was given and, under
// --strict, has no warning (an explained configuration: reads, its files
// fit, and under --strict no warning); kInspectMisuse for unusable options,
// a VANTOREL_THREADS value or a configuration that cannot be read beside an
// image; kInspectIoError when a read or write failed (the report, if
// printed, then is not to be trusted to have arrived); kInspectFailed
// otherwise, also when memory, file handles or the system fail it. Writes
// nothing but what --extract asks for. Never throws.
int RunVantorelInspect(int argc, NativeArgv argv) noexcept;

}  // namespace vantorel
