// The window manager, as the print-dialog watcher needs it.
#pragma once

#include <cstdint>
#include <string>

namespace vorelle::platform {

using Window = std::uintptr_t;  // 0 means "no window"

// A window class given by atom (when not 0) or by name.
struct WindowClass {
    std::uint16_t atom = 0;
    const char16_t* name = nullptr;
};

// The first direct child of `parent` (the top-level windows of every process
// when parent is 0) that comes after `childAfter` in the parent's child order
// (from the first when 0), whatever the classes of the windows in between,
// whose class is `windowClass` and whose title equals `title` exactly.
// 0 when there is none.
[[nodiscard]] Window FindWindowAfter(Window parent, Window childAfter, WindowClass windowClass,
                  const std::u16string& title);

// SendMessageW: delivered on the window's own thread; returns its answer.
std::intptr_t SendWindowMessage(Window window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam);

// SendNotifyMessageW: does not wait for a window of another thread.
[[nodiscard]] bool NotifyWindow(Window window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam);

// RedrawWindow with no rectangle, no region and flags 0.
[[nodiscard]] bool RedrawWindow(Window window);

}  // namespace vorelle::platform
