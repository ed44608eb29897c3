// Option handling on top of the option scanner: what each option does, and
// the lines and reason of each misuse.
#include "programs/vantorel/arguments.h"

#include "platform/console.h"
#include "platform/text.h"
#include "programs/vantorel/banners.h"
#include "programs/vantorel/messages.h"
#include "programs/vantorel/option_scanner.h"

namespace vantorel {
namespace {

Diagnostic NoOptions(int argc, const wchar_t* const* argv) {
  std::string reason = "no options given";
  if (argc > 1) {
    reason = std::wstring_view(argv[1]) == L"--"
                 ? "\"--\" ends the options before any was given"
                 : "the first argument, \"" + Utf8ForDisplay(argv[1]) + "\", is no option";
  }
  return Error(FailureKind::kUsage, reason + "; use -i config_file -o output_file")
      .Printing(std::string(
          "Please specify a config file with \"-i\" option and a output file with \"-o\" option"));
}

Diagnostic BadOption(const OptionScanner& scanner, const wchar_t* argument) {
  const wchar_t letter = scanner.clusterPos ? scanner.clusterPos[-1] : L'?';
  const std::string option = "-" + Utf8ForDisplay(std::wstring(1, letter));
  const std::string reason = letter == L'i' || letter == L'o'
                                 ? "option " + option + " needs a path after it"
                                 : "unknown option " + option + " in \"" +
                                       Utf8ForDisplay(argument) + "\" (options: -i, -o, -h)";
  return Error(FailureKind::kUsage, reason)
      .Printing(L"ERROR: illegal option " + std::wstring(argument))
      .Printing(std::string("Unknown option character or incomplete argument for the option, "
                            "please use -h to get help"));
}

Diagnostic MissingConfig() {
  return Error(FailureKind::kUsage, "no configuration file: give one with -i config_file")
      .Printing(std::string("configFile is empty "));
}

}  // namespace

Outcome ParseArguments(int argc, const wchar_t* const* argv, CommandLine& commandLine) {
  OptionScanner scanner;
  int option = scanner.NextOption(argc, argv);
  if (option == kOptionsEnded) return NoOptions(argc, argv);
  for (; option != kOptionsEnded; option = scanner.NextOption(argc, argv)) {
    switch (option) {
      case 'i':
        commandLine.configFile = scanner.optionArgument;
        break;
      case 'o':
        commandLine.outputFile = scanner.optionArgument;
        break;
      case 'h':
        WriteLine("-h");
        PrintUsage(argv[0]);
        commandLine.help = true;
        return {};
      default:
        return BadOption(scanner, argv[scanner.nextIndex - 1]);
    }
  }
  if (commandLine.configFile.empty()) return MissingConfig();
  return {};
}

}  // namespace vantorel
