// The window manager, as the print-dialog watcher needs it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

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
// whose class is `windowClass` and whose title equals `title` without regard
// to letter case, as FindWindowExW compares titles. 0 when there is none.
[[nodiscard]] Window FindWindowAfter(Window parent, Window childAfter, WindowClass windowClass,
                  std::u16string_view title);

// FindWindowExW with no title: the first direct child of `parent` (the
// top-level windows of every process when parent is 0) after `childAfter`
// (from the first when 0) whose class is `windowClass`, whatever its title.
// `childAfter` is 0 or a window of that class, as an earlier call found it.
// 0 when there is none.
[[nodiscard]] Window FindWindowOfClass(Window parent, Window childAfter, WindowClass windowClass);

// GetDlgItem: the direct child of `dialog` whose control id is `controlId`,
// when its class is `windowClass`; 0 when there is no such child or it is of
// another class.
[[nodiscard]] Window ChildWithId(Window dialog, int controlId, WindowClass windowClass);

// Whether the window belongs to the process this code runs in
// (GetWindowThreadProcessId against GetCurrentProcessId). False for no window.
[[nodiscard]] bool WindowOfThisProcess(Window window);

// SendMessageTimeoutW with SMTO_BLOCK: delivered on the window's own thread,
// waiting at most `milliseconds` for its answer. The answer; none when the
// thread did not answer in time or the window is gone. A message that timed out may still be handled later: anything its
// lParam points to must outlive that.
[[nodiscard]] std::optional<std::intptr_t> SendWindowMessage(Window window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t lParam,
                                               std::uint32_t milliseconds);

// SendNotifyMessageW: does not wait for a window of another thread.
[[nodiscard]] bool NotifyWindow(Window window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam);

// RedrawWindow with no rectangle, no region and flags 0.
[[nodiscard]] bool RedrawWindow(Window window);

}  // namespace vorelle::platform
