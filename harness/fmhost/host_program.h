// The fmhost program, apart from how it gets its arguments and standard
// streams: runs one session and returns the exit status.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "hosting/plugin_call.h"

namespace fmhost {

enum ExitStatus : int {
    kExitOk = 0,
    kExitStartupRefused = 1,
    kExitUsage = 2,          // also: machine file, plug-in or a line that cannot be used
    kExitFunctionError = 3,  // a function returned a non-zero error code
    // 32-bit Windows: a call into the plug-in was not __stdcall
    kExitCallingConvention = hosting::kCallingConventionExitStatus,
};

// `arguments` are the UTF-8 arguments after the program name; the streams
// carry UTF-8.
int RunHost(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
            std::ostream& err);

}  // namespace fmhost
