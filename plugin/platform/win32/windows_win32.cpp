// The window manager on Windows: FindWindowExW, GetDlgItem,
// SendMessageTimeoutW, SendNotifyMessageW, RedrawWindow and
// GetWindowThreadProcessId.
#include "platform/win32/win32_api.h"

#include "platform/text.h"
#include "platform/windows.h"

#include <string>
#include <string_view>
#include <vector>

namespace vorelle::platform {
namespace {

using win32::Wide;

HWND AsWindow(Window window) {
    return reinterpret_cast<HWND>(window);
}

LPCWSTR ClassArgument(const WindowClass& windowClass) {
    return windowClass.atom != 0 ? MAKEINTATOM(windowClass.atom) : Wide(windowClass.name);
}

bool HasClass(HWND window, const WindowClass& windowClass) {
    if (windowClass.atom != 0) {
        return GetClassWord(window, GCW_ATOM) == windowClass.atom;
    }
    if (windowClass.name == nullptr) {
        return false;
    }
    wchar_t name[257] = {};  // class names are at most 256 characters
    const int length = GetClassNameW(window, name, 257);
    std::wstring wanted(Wide(windowClass.name));
    if (length <= 0 || static_cast<std::size_t>(length) != wanted.size()) {
        return false;
    }
    // Class names compare without regard to case, as the window manager's do.
    CharUpperBuffW(name, static_cast<DWORD>(length));
    CharUpperBuffW(wanted.data(), static_cast<DWORD>(wanted.size()));
    return wanted.compare(0, wanted.size(), name, static_cast<std::size_t>(length)) == 0;
}

// The window's own title, read without sending it a message, compared as
// FindWindowExW compares titles: without regard to letter case. One unit more
// than the title is fetched so that a longer title differs.
bool HasTitle(HWND window, std::u16string_view title) {
    std::vector<wchar_t> buffer(title.size() + 2, L'\0');
    const int copied = InternalGetWindowText(window, buffer.data(), static_cast<int>(buffer.size()));
    if (copied < 0 || static_cast<std::size_t>(copied) != title.size()) {
        return false;
    }
    return EqualIgnoringCase(win32::Utf16(buffer.data(), title.size()), title);
}

}  // namespace

Window FindWindowAfter(Window parent, Window childAfter, WindowClass windowClass,
                  std::u16string_view title) {
    if (windowClass.atom == 0 && windowClass.name == nullptr) {
        return 0;
    }
    if (childAfter != 0) {
        // Wine 8: FindWindowExW looks for the child-after window only among
        // windows of the searched class; the meaning wanted here is the plain
        // one: the siblings following childAfter, whatever their classes.
        for (HWND w = GetWindow(AsWindow(childAfter), GW_HWNDNEXT); w != nullptr;
             w = GetWindow(w, GW_HWNDNEXT)) {
            if (HasClass(w, windowClass) && HasTitle(w, title)) {
                return reinterpret_cast<Window>(w);
            }
        }
        return 0;
    }
    // The title is checked again as above, so that the meaning is the same
    // wherever FindWindowExW's own comparison differs. Each further call
    // starts after a window of the searched class, which FindWindowExW
    // handles everywhere.
    // FindWindowExW takes the title with its terminator.
    const std::u16string terminated(title);
    HWND after = nullptr;
    while (HWND found = FindWindowExW(AsWindow(parent), after, ClassArgument(windowClass),
                                      Wide(terminated))) {
        if (HasTitle(found, title)) {
            return reinterpret_cast<Window>(found);
        }
        after = found;
    }
    return 0;
}

Window FindWindowOfClass(Window parent, Window childAfter, WindowClass windowClass) {
    if (windowClass.atom == 0 && windowClass.name == nullptr) {
        return 0;
    }
    return reinterpret_cast<Window>(
        FindWindowExW(AsWindow(parent), AsWindow(childAfter), ClassArgument(windowClass), nullptr));
}

Window ChildWithId(Window dialog, int controlId, WindowClass windowClass) {
    if (dialog == 0) {
        return 0;
    }
    HWND child = GetDlgItem(AsWindow(dialog), controlId);
    return child != nullptr && HasClass(child, windowClass) ? reinterpret_cast<Window>(child) : 0;
}

bool WindowOfThisProcess(Window window) {
    DWORD process = 0;
    if (window == 0 || GetWindowThreadProcessId(AsWindow(window), &process) == 0) {
        return false;
    }
    return process == GetCurrentProcessId();
}

std::optional<std::intptr_t> SendWindowMessage(Window window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t lParam,
                                               std::uint32_t milliseconds) {
    // Not SMTO_ABORTIFHUNG: a thread counts as hung when it has not taken a
    // message for five seconds, as the host's thread often has not just when
    // it creates its Print dialog (a script ran, another program was waited
    // for); the dialog would then be given up at once although it answers a
    // moment later. The bound alone decides.
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(AsWindow(window), message, static_cast<WPARAM>(wParam),
                            static_cast<LPARAM>(lParam), SMTO_BLOCK, milliseconds,
                            &answer) == 0) {
        win32::TraceLastError(u"SendMessageTimeoutW");
        return std::nullopt;
    }
    return static_cast<std::intptr_t>(answer);
}

bool NotifyWindow(Window window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
    if (!SendNotifyMessageW(AsWindow(window), message, static_cast<WPARAM>(wParam),
                            static_cast<LPARAM>(lParam))) {
        win32::TraceLastError(u"SendNotifyMessageW");
        return false;
    }
    return true;
}

bool RedrawWindow(Window window) {
    if (!::RedrawWindow(AsWindow(window), nullptr, nullptr, 0)) {
        win32::TraceLastError(u"RedrawWindow");
        return false;
    }
    return true;
}

}  // namespace vorelle::platform
