// The command line of vantorel-inspect:
//   vantorel-inspect [--json] [--strict] [--config CONFIG] [--extract DIR [--force]] IMAGE
//   vantorel-inspect [--json] [--strict] --config CONFIG
#pragma once

#include <string>

#include "common/diagnostic.h"

namespace vantorel {

struct InspectCommand {
  std::wstring image;             // empty: explain the configuration
  std::wstring config;            // empty: no configuration to check against
  std::wstring extractDirectory;  // empty: nothing extracted
  bool force = false;
  bool json = false;
  bool strict = false;
  bool help = false;
};

// Fills `command` from the arguments after the program's name; misuse
// fails with kInspectMisuse and what was wrong. Prints nothing.
Outcome ParseInspectArguments(int argc, const wchar_t* const* argv, InspectCommand& command);

// The usage text.
extern const char kInspectUsage[];

}  // namespace vantorel
