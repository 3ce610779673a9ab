// Shared helpers of the window manager tests: a clean desktop per test and a
// bounded wait for things other threads do.
#pragma once

#include <gtest/gtest.h>

#include "simwin/window_manager.h"
#include "tests/bounded_wait.h"

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

using test_support::Eventually;
using test_support::WithinBound;

}  // namespace simwin::testing
