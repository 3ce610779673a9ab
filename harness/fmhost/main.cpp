// fmhost: the host stand-in. See fmhost --help.
#include <iostream>

#include "fmhost/console.h"
#include "fmhost/host_program.h"

int main(int argc, char** argv) {
    fmhost::UseBinaryStandardStreams();
    return fmhost::RunHost(fmhost::CommandLineArguments(argc, argv), std::cin, std::cout, std::cerr);
}
