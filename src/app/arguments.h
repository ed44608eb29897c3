// The command line: -i config_file -o output_file, or -h.
#pragma once

#include <stdexcept>
#include <string>

namespace vantorel {

// Misuse of the options. Its lines are printed before it is raised; the text
// it carries is not printed again.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr int kArgumentsAccepted = 0;
inline constexpr int kHelpShown = 1;

// Fills the two paths; kHelpShown after -h printed the usage text.
// Raises UsageError for every misuse.
int ParseArguments(int argc, const wchar_t* const* argv, std::wstring& configFile,
                   std::wstring& outputFile);

}  // namespace vantorel
