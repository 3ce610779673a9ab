// Shared helpers of the window manager tests: a clean desktop per test and a
// bounded wait for things other threads do.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "simwin/window_manager.h"

namespace simwin::testing {

class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override { WindowManager::Instance().DestroyAll(); }
    void TearDown() override { WindowManager::Instance().DestroyAll(); }

    static WindowManager& Wm() { return WindowManager::Instance(); }

    static Hwnd Make(Hwnd parent, std::u16string className, std::u16string title, int id = 0) {
        WindowSpec setup;
        setup.parent = parent;
        setup.className = std::move(className);
        setup.title = std::move(title);
        setup.controlId = id;
        return Wm().Create(setup);
    }
};

// True as soon as `condition` holds; false if it still does not after a bound
// far beyond anything a correct run needs.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace simwin::testing
