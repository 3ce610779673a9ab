// The log of range-addressing operations that tests switch on (LogCalls).
#pragma once

#include <cstddef>
#include <cstdint>

#include "fmwrapper/host_runtime.h"

namespace fmwrapper {

// Records one operation when the log is on.
void LogCall(const char* operation, std::size_t size, std::uint32_t position, std::uint32_t count = 0);

}  // namespace fmwrapper
