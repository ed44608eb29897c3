// Arbitrary argument vectors (NUL-separated) through the option scanner and
// the option handling.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "programs/vantorel/arguments.h"
#include "programs/vantorel/option_scanner.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::wstring> arguments{L"vantorel"};
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.push_back(vantorel::DecodeUtf8(current, vantorel::InvalidUtf8::kEscape));
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (!current.empty()) {
    arguments.push_back(vantorel::DecodeUtf8(current, vantorel::InvalidUtf8::kEscape));
  }
  std::vector<const wchar_t*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(arguments.size());

  vantorel::OptionScanner scanner;
  for (int calls = 0;; ++calls) {
    const int option = scanner.NextOption(argc, argv.data());
    if (scanner.nextIndex < 1 || scanner.nextIndex > argc) __builtin_trap();
    if (option == -1 || option == '?') break;
    if (option != 'i' && option != 'o' && option != 'h') __builtin_trap();
    if (option != 'h' && scanner.optionArgument == nullptr) __builtin_trap();
    if (calls > 4 * static_cast<int>(size) + 4) __builtin_trap();  // the scan ends
  }

  vantorel::CommandLine commandLine;
  const vantorel::Outcome outcome = vantorel::ParseArguments(argc, argv.data(), commandLine);
  if (outcome.ok() && commandLine.request == vantorel::Request::kPack &&
      commandLine.configFile.empty())
    __builtin_trap();
  if (!outcome.ok() && outcome.failure().reason.empty()) __builtin_trap();  // every misuse says why
  return 0;
}
