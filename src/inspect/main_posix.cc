// The Linux entry point of vantorel-inspect: the arguments arrive as bytes
// and become the wide argument vector the run takes.
#include <exception>
#include <new>

#include "inspect/inspect_tool.h"
#include "platform/console.h"
#include "platform/program.h"

int main(int argc, char** argv) {
  vantorel::PrepareProcess();
  try {
    const vantorel::WideArguments arguments(argc, argv);
    return vantorel::RunInspect(argc, arguments.argv());
  } catch (const std::bad_alloc&) {
    vantorel::WriteStandardError("vantorel-inspect: cannot continue: not enough memory\n");
    return vantorel::kInspectFailed;
  } catch (const std::exception& error) {
    vantorel::WriteStandardError(std::string("vantorel-inspect: cannot continue: ") + error.what() +
                                 "\n");
    return vantorel::kInspectFailed;
  }
}
