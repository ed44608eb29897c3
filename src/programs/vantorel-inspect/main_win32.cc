// The Windows entry point of vantorel-inspect: the arguments arrive wide.
#include "programs/vantorel-inspect/run.h"

int wmain(int argc, wchar_t** argv) { return vantorel::RunVantorelInspect(argc, argv); }
