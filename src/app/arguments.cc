// Option handling on top of the option scanner: what each option does, and
// the lines each misuse prints.
#include "app/arguments.h"

#include "app/banners.h"
#include "app/option_scanner.h"
#include "platform/console.h"

namespace vantorel {
namespace {

[[noreturn]] void RaiseNoOptions() {
  WriteText(
      "Please specify a config file with \"-i\" option and a output file with \"-o\" option\n");
  throw UsageError();
}

[[noreturn]] void RaiseBadOption(const wchar_t* argument) {
  WriteText("ERROR: illegal option ");
  WriteWideText(argument);
  WriteText(
      "\nUnknown option character or incomplete argument for the option, please use -h to get "
      "help\n");
  throw UsageError();
}

[[noreturn]] void RaiseMissingConfig() {
  WriteText("configFile is empty \n");
  throw UsageError();
}

}  // namespace

int ParseArguments(int argc, const wchar_t* const* argv, std::wstring& configFile,
                   std::wstring& outputFile) {
  OptionScanner scanner;
  int option = scanner.NextOption(argc, argv);
  if (option == kOptionsEnded) RaiseNoOptions();
  for (; option != kOptionsEnded; option = scanner.NextOption(argc, argv)) {
    switch (option) {
      case 'i':
        configFile = scanner.optionArgument;
        break;
      case 'o':
        outputFile = scanner.optionArgument;
        break;
      case 'h':
        WriteLine("-h");
        PrintUsage(argv[0]);
        return kHelpShown;
      default:
        RaiseBadOption(argv[scanner.nextIndex - 1]);
    }
  }
  if (configFile.empty()) RaiseMissingConfig();
  return kArgumentsAccepted;
}

}  // namespace vantorel
