// Option parsing of vantorel-inspect: options in any order, one image.
#include "inspect/inspect_arguments.h"

#include <string_view>

namespace vantorel {

const char kInspectUsage[] =
    "usage: vantorel-inspect [--json] [--strict] [--config CONFIG] [--extract DIR [--force]] "
    "IMAGE\n"
    "  Verifies an update image: header, entries, offsets, digests and the\n"
    "  compressed streams, and warns of partitions that overlap in flash or run\n"
    "  past 4 GiB. Exit status 0 when it is sound, 1 when it is not, 2 on misuse,\n"
    "  3 when a read or write failed.\n"
    "  --config CONFIG  also check that the image is what CONFIG and its files make\n"
    "  --strict         count flash layout warnings as failures\n"
    "  --extract DIR    write each partition's original bytes to DIR/partition-N.bin\n"
    "  --force          replace files that --extract would write\n"
    "  --json           print the report as JSON\n"
    "  -h, --help       print this text\n";

bool ParseInspectArguments(int argc, const wchar_t* const* argv, InspectCommand& command,
                           std::wstring& error) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == L"-h" || argument == L"--help") {
      command.help = true;
    } else if (argument == L"--json") {
      command.json = true;
    } else if (argument == L"--strict") {
      command.strict = true;
    } else if (argument == L"--force") {
      command.force = true;
    } else if ((argument == L"--extract" || argument == L"--config") && !hasValue) {
      error = std::wstring(argument) + L" needs a value";
      return false;
    } else if ((argument == L"--extract" || argument == L"--config") && argv[i + 1][0] == L'\0') {
      error = std::wstring(argument) + L" needs a value that is not empty";
      return false;
    } else if (argument == L"--extract") {
      command.extractDirectory = argv[++i];
    } else if (argument == L"--config") {
      command.config = argv[++i];
    } else if (argument.starts_with(L"-") && argument != L"-") {
      error = L"unknown option " + std::wstring(argument);
      return false;
    } else if (command.image.empty()) {
      command.image = argument;
    } else {
      error = L"one image at a time (" + std::wstring(argument) + L")";
      return false;
    }
  }
  if (command.image.empty() && !command.help) {
    error = L"no image given";
    return false;
  }
  return true;
}

}  // namespace vantorel
