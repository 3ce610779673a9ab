// What the simulated side of the facade traced: tests read the failures here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorelle::platform::sim {

struct TracedFailure {
    std::u16string call;
    std::uint32_t errorCode = 0;
};

// The failures traced since the last call, oldest first; the record is emptied.
std::vector<TracedFailure> TakeTracedFailures();

}  // namespace vorelle::platform::sim
