// Bounded waits for tests that wait on another thread (the plug-in's watcher,
// a UI thread): a wait that runs out fails the test and says what did not
// happen, within seconds instead of at CTest's time-out.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>

namespace test_support {

// Far beyond what a correct run needs, also under sanitizers on a busy machine.
inline constexpr std::chrono::seconds kWaitBound{3};

// True as soon as `condition` holds; false if it still does not after `bound`.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds bound = kWaitBound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Fails the test and ends the process at once: what it waits on may never
// come, and its teardown would wait on the same thing.
[[noreturn]] inline void FailAndEnd(const std::string& what, std::chrono::seconds bound = kWaitBound) {
    ADD_FAILURE() << "waited " << bound.count() << " s for " << what << ", in vain";
    std::fflush(stdout);
    std::_Exit(1);
}

// Waits until `condition` holds, or fails as FailAndEnd.
inline void AwaitOrEnd(const std::string& what, const std::function<bool()>& condition) {
    if (!Eventually(condition)) {
        FailAndEnd(what);
    }
}

// Runs `step`, which may wait on another thread (a hand-over, a shutdown, a
// join), on a helper thread, and returns what it returns; fails as FailAndEnd
// when it has not returned within `bound`.
template <typename Step>
auto WithinBound(const std::string& what, Step step, std::chrono::seconds bound = kWaitBound) {
    auto done = std::async(std::launch::async, std::move(step));
    if (done.wait_for(bound) != std::future_status::ready) {
        FailAndEnd(what, bound);
    }
    return done.get();
}

}  // namespace test_support
