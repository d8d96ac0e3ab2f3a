#include "console/program.h"

int main(int argc, char** argv) { return ramdisk::RunProgram(argc, argv); }
