// The Windows entry point of vantorel-inspect: the arguments arrive wide.
#include <exception>
#include <new>
#include <string>

#include "inspect/inspect_tool.h"
#include "platform/console.h"

int wmain(int argc, wchar_t** argv) {
  try {
    return vantorel::RunInspect(argc, argv);
  } catch (const std::bad_alloc&) {
    vantorel::WriteStandardError("vantorel-inspect: cannot continue: not enough memory\n");
    return vantorel::kInspectFailed;
  } catch (const std::exception& error) {
    vantorel::WriteStandardError(std::string("vantorel-inspect: cannot continue: ") + error.what() +
                                 "\n");
    return vantorel::kInspectFailed;
  }
}
