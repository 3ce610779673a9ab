// The runtime's operation counter and the run of failures a test can arm.
#pragma once

#include <cstdint>

namespace fmwrapper {

// Counts one operation named `name` (a string literal); returns the error code
// it must report: 0, or the armed code when this is one of the armed operations.
std::int32_t CountOperation(const char* name);

}  // namespace fmwrapper
