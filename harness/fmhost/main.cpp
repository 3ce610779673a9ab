// fmhost: the host stand-in. See fmhost --help.
#include <cstdlib>
#include <iostream>
#include <string>

#include "fmhost/console.h"
#include "fmhost/host_program.h"
#include "hosting/plugin_call.h"

int main(int argc, char** argv) {
    fmhost::UseBinaryStandardStreams();
    const int status =
        fmhost::RunHost(fmhost::CommandLineArguments(argc, argv), std::cin, std::cout, std::cerr);
    // FMHOST_CALL_REPORT set: how many calls the calling-convention check saw.
    const std::string summary = hosting::CallCheckSummary();
    if (std::getenv("FMHOST_CALL_REPORT") != nullptr && !summary.empty()) {
        std::cerr << "fmhost: " << summary << "\n";
    }
    return status;
}
