#include "fmwrapper/live_objects.h"

#include <array>
#include <cstddef>

namespace fmwrapper {

std::atomic<std::int64_t>& LiveCounter(ObjectKind kind) {
    static std::array<std::atomic<std::int64_t>, static_cast<std::size_t>(ObjectKind::Count)>
        counters{};
    return counters[static_cast<std::size_t>(kind)];
}

}  // namespace fmwrapper
