// The failure trace on the simulated Windows: kept in memory for the tests.
#include "sim_platform/failure_trace.h"

#include <mutex>
#include <utility>

#include "platform/trace.h"

namespace vorelle::platform {
namespace {

// Never destroyed, as nothing of the plug-in's library is at its exit (this
// code is linked into it).
std::mutex& TraceLock() {
    static auto* const lock = new std::mutex;
    return *lock;
}

std::vector<sim::TracedFailure>& Traced() {
    static auto* const traced = new std::vector<sim::TracedFailure>;
    return *traced;
}

}  // namespace

void TraceFailure(std::u16string_view call, std::uint32_t errorCode) noexcept {
    try {
        const std::lock_guard<std::mutex> hold(TraceLock());
        Traced().push_back({std::u16string(call), errorCode});
    } catch (...) {
        // A trace that cannot be kept is dropped; the failure itself is reported by the caller.
    }
}

std::vector<sim::TracedFailure> sim::TakeTracedFailures() {
    const std::lock_guard<std::mutex> hold(TraceLock());
    return std::exchange(Traced(), {});
}

}  // namespace vorelle::platform
