// Option parsing of vantorel-inspect: options in any order, one image.
#include "inspect/inspect_arguments.h"

#include <string_view>

#include "inspect/messages.h"
#include "platform/text.h"

namespace vantorel {

const char kInspectUsage[] =
    "usage: vantorel-inspect [--json] [--strict] [--config CONFIG] [--extract DIR [--force]] "
    "IMAGE\n"
    "       vantorel-inspect [--json] [--strict] --config CONFIG\n"
    "  Verifies an update image: header, entries, offsets, digests and the\n"
    "  compressed streams, and warns of partitions that overlap in flash or run\n"
    "  past 4 GiB. Exit status 0 when it is sound, 1 when it is not, 2 on misuse,\n"
    "  3 when a read or write failed.\n"
    "  Without an image, explains what CONFIG makes before anything is packed:\n"
    "  each section and key as the packer reads them, the files, the flash layout\n"
    "  and every warning; exit status 1 when it does not read or a file is\n"
    "  missing or too large.\n"
    "  --config CONFIG  also check that the image is what CONFIG and its files make\n"
    "  --strict         count warnings as failures\n"
    "  --extract DIR    write each partition's original bytes to DIR/partition-N.bin\n"
    "  --force          replace files that --extract would write\n"
    "  --json           print the report as JSON\n"
    "  -h, --help       print this text\n";

namespace {

Diagnostic Misuse(const std::wstring& what) { return Error(kInspectMisuse, Utf8ForDisplay(what)); }

}  // namespace

Outcome ParseInspectArguments(int argc, const wchar_t* const* argv, InspectCommand& command) {
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
      return Misuse(std::wstring(argument) + L" needs a value");
    } else if ((argument == L"--extract" || argument == L"--config") && argv[i + 1][0] == L'\0') {
      return Misuse(std::wstring(argument) + L" needs a value that is not empty");
    } else if (argument == L"--extract") {
      command.extractDirectory = argv[++i];
    } else if (argument == L"--config") {
      command.config = argv[++i];
    } else if (argument.starts_with(L"-") && argument != L"-") {
      return Misuse(L"unknown option " + std::wstring(argument));
    } else if (command.image.empty()) {
      command.image = argument;
    } else {
      return Misuse(L"one image at a time (" + std::wstring(argument) + L")");
    }
  }
  if (command.image.empty() && command.config.empty() && !command.help) {
    return Misuse(L"no image given");
  }
  if (command.image.empty() && !command.extractDirectory.empty() && !command.help) {
    return Misuse(L"--extract needs an image");
  }
  return {};
}

}  // namespace vantorel
