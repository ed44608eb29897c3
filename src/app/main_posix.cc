// The packer's Linux entry point.
#include "app/run.h"

int main(int argc, char** argv) { return vantorel::RunVantorel(argc, argv); }
