// The runtime's operation counter and the one failure a test can arm.
#pragma once

#include <cstdint>

namespace fmwrapper {

// Counts one operation named `name` (a string literal); returns the error code
// it must report: 0, or the armed code when this is the armed operation.
std::int32_t CountOperation(const char* name);

}  // namespace fmwrapper
