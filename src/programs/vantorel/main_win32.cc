// The packer's Windows entry point: the arguments arrive wide.
#include "programs/vantorel/run.h"

int wmain(int argc, wchar_t** argv) { return vantorel::RunVantorel(argc, argv); }
