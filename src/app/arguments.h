// The command line: -i config_file -o output_file, or -h.
#pragma once

#include <exception>
#include <string>

namespace vantorel {

// Misuse of the options. Its lines are printed before it is raised, so it
// carries nothing more.
class UsageError : public std::exception {};

inline constexpr int kArgumentsAccepted = 0;
inline constexpr int kHelpShown = 1;

// Scans the options and fills the two paths (each -i or -o replaces the
// earlier value; the output path may stay empty). Returns kArgumentsAccepted
// when the run is to go on, kHelpShown after -h printed "-h" and the usage
// text. Every misuse prints its lines and raises UsageError.
int ParseArguments(int argc, const wchar_t* const* argv, std::wstring& configFile,
                   std::wstring& outputFile);

}  // namespace vantorel
