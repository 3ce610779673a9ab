#include "fmwrapper/failure_injection.h"

#include <atomic>

#include "fmwrapper/host_runtime.h"
#include "hostsdk/FMWrapper.h"

namespace fmwrapper {
namespace {

struct FailureState {
    std::atomic<std::uint64_t> operations{0};
    std::atomic<std::uint64_t> failAt{0};  // 0: nothing armed
    std::atomic<std::uint64_t> lastAt{0};  // the run's last failing operation (kEveryTime: none)
    std::atomic<std::uint64_t> armedAt{0};  // the count when the failure was armed
    std::atomic<std::int32_t> code{0};
    // The last failure that fired; written and read on the host's thread.
    bool fired = false;
    InjectedFailure last;
};

FailureState& State() {
    static FailureState state;
    return state;
}

}  // namespace

std::int32_t CountOperation(const char* name) {
    FailureState& s = State();
    const std::uint64_t number = s.operations.fetch_add(1) + 1;
    std::uint64_t first = s.failAt.load();
    const std::uint64_t last = s.lastAt.load();
    if (first == 0 || number < first || number > last) {
        return kFMXErrorNone;
    }
    // The run's last failure disarms it, once.
    if (number == last && !s.failAt.compare_exchange_strong(first, 0)) {
        return kFMXErrorNone;
    }
    const std::int32_t code = s.code.load();
    s.fired = true;
    s.last = InjectedFailure{number - s.armedAt.load(), code, name};
    return code;
}

void FailOperation(std::uint64_t nth, std::int32_t code, std::uint64_t times) {
    FailureState& s = State();
    s.failAt.store(0);
    if (nth == 0 || times == 0) {
        return;
    }
    const std::uint64_t now = s.operations.load();
    const std::uint64_t first = now + nth;
    s.code.store(code);
    s.armedAt.store(now);
    s.lastAt.store(times == kEveryTime || times - 1 > kEveryTime - first ? kEveryTime : first + times - 1);
    s.failAt.store(first);
}

void DisarmFailure() { State().failAt.store(0); }

bool FailureArmed() { return State().failAt.load() != 0; }

std::uint64_t OperationCount() { return State().operations.load(); }

std::optional<InjectedFailure> LastInjectedFailure() {
    const FailureState& s = State();
    if (!s.fired) {
        return std::nullopt;
    }
    return s.last;
}

void ClearInjectedFailures() {
    FailureState& s = State();
    s.failAt.store(0);
    s.fired = false;
    s.last = InjectedFailure{};
}

}  // namespace fmwrapper
