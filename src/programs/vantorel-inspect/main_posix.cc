// The Linux entry point of vantorel-inspect.
#include "programs/vantorel-inspect/run.h"

int main(int argc, char** argv) { return vantorel::RunVantorelInspect(argc, argv); }
