// The command line of vantorel-inspect:
//   vantorel-inspect [--json] [--strict] [--config CONFIG] [--extract DIR [--force]] IMAGE
//   vantorel-inspect [--json] [--strict] --config CONFIG
#pragma once

#include <string>

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

// Fills `command` from the arguments after the program's name. False on
// misuse, with `error` saying what was wrong. Prints nothing.
bool ParseInspectArguments(int argc, const wchar_t* const* argv, InspectCommand& command,
                           std::wstring& error);

// The usage text.
extern const char kInspectUsage[];

}  // namespace vantorel
