// What the program knows of itself (its version numbers and the form of its
// name in the usage text), and how a run starts: the process readied, the
// arguments made wide.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel {

struct FileVersion {
  uint16_t major;
  uint16_t minor;
  uint16_t build;
};

// The running executable's file version; nullopt when it carries none.
std::optional<FileVersion> ReadOwnFileVersion();

// The program's name as the usage text prints it: the part of the program
// path after its last backslash (a forward slash does not count; a path
// without a backslash is taken whole), in the platform's narrow form.
std::string UsageProgramName(std::wstring_view programPath);

// Readies the process before anything else runs: opens the null device on
// each of standard input, output and error that is closed, so that no file
// the program opens can take its place and receive what is printed; makes a
// file size limit fail writes rather than kill the process; and keeps what
// each worker thread reserves of the address space small. Nothing to do on
// Windows.
void PrepareProcess();

// The argument vector as the system hands it to the entry point: bytes from
// main() on Linux, wide from wmain() on Windows.
#ifdef _WIN32
using NativeArgv = wchar_t**;
#else
using NativeArgv = char**;
#endif

// The entry point's arguments as the wide argument vector the programs take:
// decoded from UTF-8 on Linux, where bytes that are not UTF-8 are escaped so
// that a path made of them opens the same file; copied on Windows. Throws
// std::bad_alloc.
class WideArguments {
 public:
  WideArguments(int argc, NativeArgv argv);
  const wchar_t* const* argv() const { return pointers_.data(); }

 private:
  std::vector<std::wstring> texts_;
  std::vector<const wchar_t*> pointers_;
};

// A program's whole run behind its entry point: readies the process, gives
// `steps` the wide argument vector and returns their exit status. When the
// conversion or the steps throw, `onException` is called inside the catch
// block and its status returned. Never throws.
inline int RunProgram(int argc, NativeArgv argv, int (*steps)(int, const wchar_t* const*),
                      int (*onException)() noexcept) noexcept {
  PrepareProcess();
  try {
    const WideArguments arguments(argc, argv);
    return steps(argc, arguments.argv());
  } catch (...) {
    return onException();
  }
}

// The part of the path after its last backslash; the whole path without one.
inline std::wstring_view FileNameOf(std::wstring_view path) {
  const std::size_t slash = path.rfind(L'\\');
  return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

}  // namespace vantorel
