// The Linux entry point: the arguments arrive as bytes and become the wide
// argument vector the run takes.
#include "app/run.h"
#include "platform/program.h"

int main(int argc, char** argv) {
  vantorel::PrepareProcess();
  try {
    const vantorel::WideArguments arguments(argc, argv);
    return vantorel::Run(argc, arguments.argv());
  } catch (...) {
    return vantorel::FailRunOnException();
  }
}
