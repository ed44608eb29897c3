// Walks the wide argument vector one option at a time, with the option
// string "i:o:h" and the end marker "--". It prints nothing; the caller words
// every message.
#pragma once

namespace vantorel {

inline constexpr int kOptionsEnded = -1;
inline constexpr int kBadOption = '?';

class OptionScanner {
 public:
  // The next option letter; kBadOption for a letter that is no option or an
  // option without its argument; kOptionsEnded when the options have ended.
  int NextOption(int argc, const wchar_t* const* argv);

  // Index of the next argument to examine; 0 before the scan starts.
  int nextIndex = 0;
  // Where the next letter of a cluster such as -hi is read; none at its end.
  const wchar_t* clusterPos = nullptr;
  // The argument of the option just returned, or where the scan stopped.
  const wchar_t* optionArgument = nullptr;
};

}  // namespace vantorel
