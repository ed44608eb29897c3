// The Linux entry point: arguments arrive as bytes and are decoded from UTF-8
// into wide text; bytes that are not UTF-8 are escaped so that a path made of
// them opens the same file.
#include <string>
#include <vector>

#include "app/run.h"
#include "platform/utf8.h"

int main(int argc, char** argv) {
  std::vector<std::wstring> arguments;
  arguments.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    arguments.push_back(vantorel::DecodeUtf8(argv[i], vantorel::InvalidUtf8::kEscape));
  }
  std::vector<const wchar_t*> wideArgv;
  for (const auto& argument : arguments) wideArgv.push_back(argument.c_str());
  wideArgv.push_back(nullptr);
  return vantorel::Run(argc, wideArgv.data());
}
