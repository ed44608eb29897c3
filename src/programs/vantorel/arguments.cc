// Option handling on top of the option scanner: what each option does, and
// the lines and reason of each misuse.
#include "programs/vantorel/arguments.h"

#include <cwchar>
#include <string_view>
#include <vector>

#include "platform/host.h"
#include "platform/text.h"
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

// The arguments the short options' scan reads as an option or as an
// option's path, in order, up to where that scan ends.
class OptionPositions {
 public:
  // Whether `argument`, met next, stands where an option may.
  bool AtOption(std::wstring_view argument) const {
    return !ended_ && !pathFollows_ && argument.size() > 1 && argument[0] == L'-';
  }
  void Pass(std::wstring_view argument) {
    if (pathFollows_) {
      pathFollows_ = false;
      return;
    }
    if (argument.size() < 2 || argument[0] != L'-' || argument == L"--") {
      ended_ = true;
      return;
    }
    // -i and -o take the rest of their cluster, or else the next argument.
    const std::size_t takesPath = argument.find_first_of(L"io", 1);
    pathFollows_ = takesPath == argument.size() - 1;
  }

 private:
  bool ended_ = false;
  bool pathFollows_ = false;
};

// Takes --help, --version, --strict and --depfile FILE out of the arguments
// where they stand as options; every other argument stays for the short
// options' scan, an unknown long option among them.
Outcome TakeLongOptions(int argc, const wchar_t* const* argv, CommandLine& commandLine,
                        std::vector<const wchar_t*>& rest) {
  rest.assign(argv, argv + (argc > 0 ? 1 : 0));
  OptionPositions positions;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view argument = argv[i];
    if (positions.AtOption(argument) && argument == L"--help") {
      commandLine.request = Request::kLongHelp;
    } else if (positions.AtOption(argument) && argument == L"--version") {
      if (commandLine.request != Request::kLongHelp) commandLine.request = Request::kVersion;
    } else if (positions.AtOption(argument) && argument == L"--strict") {
      commandLine.strict = true;
    } else if (positions.AtOption(argument) && argument == L"--depfile") {
      if (i + 1 >= argc || argv[i + 1][0] == L'\0') {
        return Error(FailureKind::kUsage, "--depfile needs the path of the file to write")
            .Printing(L"ERROR: illegal option --depfile")
            .Printing(std::string("Unknown option character or incomplete argument for the "
                                  "option, please use -h to get help"));
      }
      commandLine.depfile = argv[++i];
    } else {
      positions.Pass(argument);
      rest.push_back(argv[i]);
    }
  }
  return {};
}

Outcome ScanShortOptions(int argc, const wchar_t* const* argv, CommandLine& commandLine) {
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
        commandLine.request = Request::kShortHelp;
        return {};
      default:
        return BadOption(scanner, argv[scanner.nextIndex - 1]);
    }
  }
  if (commandLine.configFile.empty()) return MissingConfig();
  return {};
}

}  // namespace

Outcome ParseArguments(int argc, const wchar_t* const* argv, CommandLine& commandLine) {
  std::vector<const wchar_t*> rest;
  const Outcome taken = TakeLongOptions(argc, argv, commandLine, rest);
  if (commandLine.request != Request::kPack) return {};
  if (!taken.ok()) return taken;
  return ScanShortOptions(static_cast<int>(rest.size()), rest.data(), commandLine);
}

Outcome ReadStrictSetting(CommandLine& commandLine) {
  const auto value = EnvironmentValue(L"VANTOREL_STRICT");
  if (!value || value->empty() || *value == L"0") return {};
  if (*value == L"1") {
    commandLine.strict = true;
    return {};
  }
  return Error(FailureKind::kSetting,
               "VANTOREL_STRICT must be 1 (warnings fail the run) or 0: " + Utf8ForDisplay(*value));
}

}  // namespace vantorel
