// The command line: -i config_file -o output_file, or -h; the long options
// users expect beside them, --help, --version, --strict and --depfile FILE;
// and the setting
// VANTOREL_STRICT, for builds that cannot change the command line.
#pragma once

#include <string>

#include "common/diagnostic.h"

namespace vantorel {

enum class Request {
  kPack,       // -i and -o
  kShortHelp,  // -h: "-h" and the usage text, and the failure status
  kLongHelp,   // --help: the usage text and where to read more
  kVersion,    // --version
};

struct CommandLine {
  Request request = Request::kPack;
  std::wstring configFile;
  std::wstring outputFile;  // may stay empty
  bool strict = false;      // warnings fail the run before the output is opened
  std::wstring depfile;     // --depfile: empty when none is asked for
};

// Reads the command line into `commandLine` (each -i or -o replaces the
// earlier value). A long option counts wherever the short options' scan
// would read an option; --help and --version win over everything else, and
// after -h the scan stops. Misuse fails with the lines it must print and
// why. Prints nothing.
Outcome ParseArguments(int argc, const wchar_t* const* argv, CommandLine& commandLine);

// VANTOREL_STRICT: 1 sets commandLine.strict, 0 or empty leaves it; any
// other value fails as a setting.
Outcome ReadStrictSetting(CommandLine& commandLine);

}  // namespace vantorel
