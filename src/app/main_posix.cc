// The Linux entry point: arguments arrive as bytes and are decoded from UTF-8
// into wide text; bytes that are not UTF-8 are escaped so that a path made of
// them opens the same file.
#include <string>
#include <vector>

#include "app/run.h"
#include "platform/program.h"
#include "platform/utf8.h"

int main(int argc, char** argv) {
  vantorel::OpenClosedStandardStreams();
  std::vector<std::wstring> arguments;
  std::vector<const wchar_t*> wideArgv;
  try {
    arguments.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) {
      arguments.push_back(vantorel::DecodeUtf8(argv[i], vantorel::InvalidUtf8::kEscape));
    }
    for (const auto& argument : arguments) wideArgv.push_back(argument.c_str());
    wideArgv.push_back(nullptr);
  } catch (...) {
    return vantorel::FailRunOnException();
  }
  return vantorel::Run(argc, wideArgv.data());
}
