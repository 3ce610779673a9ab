// The failure trace on the simulated Windows: kept in memory for the tests.
#include "sim_platform/failure_trace.h"

#include <array>
#include <mutex>

#include "platform/trace.h"

namespace vorelle::platform {
namespace {

// Kept without heap memory, as OutputDebugStringW keeps nothing in the
// library: tracing never allocates, and nothing is left to free when the
// library is unloaded or the process ends (this code is linked into it).
// The first kKeptFailures failures since the last take are kept, each call's
// text up to kCallUnits units.
constexpr std::size_t kKeptFailures = 1024;
constexpr std::size_t kCallUnits = 128;

struct KeptFailure {
    std::array<char16_t, kCallUnits> call;
    std::size_t units;
    std::uint32_t errorCode;
};

std::mutex gLock;
std::array<KeptFailure, kKeptFailures> gKept;
std::size_t gCount = 0;

}  // namespace

void TraceFailure(std::u16string_view call, std::uint32_t errorCode) noexcept {
    const std::lock_guard<std::mutex> hold(gLock);
    if (gCount == kKeptFailures) {
        return;
    }
    KeptFailure& kept = gKept[gCount++];
    kept.units = call.copy(kept.call.data(), kCallUnits);
    kept.errorCode = errorCode;
}

std::vector<sim::TracedFailure> sim::TakeTracedFailures() {
    const std::lock_guard<std::mutex> hold(gLock);
    std::vector<TracedFailure> taken;
    taken.reserve(gCount);
    for (std::size_t i = 0; i < gCount; ++i) {
        taken.push_back({std::u16string(gKept[i].call.data(), gKept[i].units), gKept[i].errorCode});
    }
    gCount = 0;
    return taken;
}

}  // namespace vorelle::platform
