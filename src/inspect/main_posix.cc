// The Linux entry point of vantorel-inspect: the arguments arrive as bytes
// and become the wide argument vector the run takes.
#include "inspect/run.h"
#include "platform/program.h"

int main(int argc, char** argv) {
  vantorel::PrepareProcess();
  try {
    const vantorel::WideArguments arguments(argc, argv);
    return vantorel::RunInspect(argc, arguments.argv());
  } catch (...) {
    return vantorel::FailInspectOnException();
  }
}
