// The packer's Linux entry point.
#include "programs/vantorel/run.h"

int main(int argc, char** argv) { return vantorel::RunVantorel(argc, argv); }
