// The command line: -i config_file -o output_file, or -h.
#pragma once

#include <string>

#include "common/diagnostic.h"

namespace vantorel {

struct CommandLine {
  std::wstring configFile;
  std::wstring outputFile;  // may stay empty
  bool help = false;        // -h was given: "-h" and the usage text are printed
};

// Scans the options and fills `commandLine` (each -i or -o replaces the
// earlier value). After -h the scan stops, with "-h" and the usage text
// printed. Misuse fails with the lines it must print and why.
Outcome ParseArguments(int argc, const wchar_t* const* argv, CommandLine& commandLine);

}  // namespace vantorel
