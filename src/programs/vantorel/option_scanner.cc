// The option scanner: "i:o:h" over the wide argument vector, the state kept
// in the scanner object so that the caller can read where the scan ended.
#include "programs/vantorel/option_scanner.h"

#include <cwchar>

namespace vantorel {
namespace {

constexpr const wchar_t kOptionString[] = L"i:o:h";

bool IsEndMarker(const wchar_t* argument) { return std::wcscmp(argument, L"--") == 0; }

}  // namespace

int OptionScanner::NextOption(int argc, const wchar_t* const* argv) {
  if (nextIndex == 0) clusterPos = nullptr;
  optionArgument = nullptr;

  if (clusterPos == nullptr || *clusterPos == L'\0') {
    if (nextIndex == 0) nextIndex = 1;
    if (nextIndex >= argc) return kOptionsEnded;
    const wchar_t* argument = argv[nextIndex];
    if (argument[0] != L'-' || argument[1] == L'\0') {
      optionArgument = argument;
      return kOptionsEnded;
    }
    ++nextIndex;
    if (IsEndMarker(argument)) {
      optionArgument = nextIndex < argc ? argv[nextIndex] : nullptr;
      return kOptionsEnded;
    }
    clusterPos = argument + 1;
  }

  const wchar_t letter = *clusterPos++;
  const wchar_t* entry = std::wcschr(kOptionString, letter);
  if (letter == L':' || entry == nullptr) return kBadOption;
  if (entry[1] != L':') return letter;

  if (*clusterPos != L'\0') {
    optionArgument = clusterPos;
    clusterPos = nullptr;
    return letter;
  }
  if (nextIndex >= argc) return kBadOption;
  optionArgument = argv[nextIndex++];
  return letter;
}

}  // namespace vantorel
