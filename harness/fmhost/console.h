// How fmhost meets its console: UTF-8 arguments and byte-exact UTF-8 streams
// on every build.
#pragma once

#include <string>
#include <vector>

namespace fmhost {

// The arguments after the program name, as UTF-8 (on Windows taken from the
// wide command line, whatever the console's code page).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Makes standard input and output pass bytes unchanged (no CR/LF translation).
void UseBinaryStandardStreams();

}  // namespace fmhost
