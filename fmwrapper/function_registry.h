// The calculation engine's table of external functions, and the log of every
// registration and unregistration made with it. One per process, used on the
// host's thread.
#pragma once

#include <map>
#include <vector>

#include "fmwrapper/host_runtime.h"

namespace fmwrapper {

struct FunctionRegistry {
    std::vector<RegisteredFunction> functions;  // in registration order
    std::vector<RegistrationEvent> log;
    std::map<std::int16_t, std::int16_t> refusals;  // function id -> answer
};

FunctionRegistry& Registry();

}  // namespace fmwrapper
