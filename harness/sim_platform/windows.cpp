// The window manager facade on the simulated Windows.
#include "platform/windows.h"

#include "platform/trace.h"
#include "simwin/errors.h"
#include "simwin/other_process.h"
#include "simwin/scheduling.h"
#include "simwin/window_manager.h"

namespace vorelle::platform {

namespace {

simwin::ClassRef ToClassRef(const WindowClass& windowClass) {
    if (windowClass.atom != 0) {
        return simwin::ClassRef::ByAtom(windowClass.atom);
    }
    if (windowClass.name != nullptr) {
        return simwin::ClassRef::ByName(windowClass.name);
    }
    return simwin::ClassRef::Any();
}

// A test's hook sees each window found and each message sent, after the fact.
Window Found(Window window) {
    if (window != 0) {
        simwin::NoteWindowStep({window, 0});
    }
    return window;
}

template <typename Answer>
Answer Sent(Window window, std::uint32_t message, Answer answer) {
    simwin::NoteWindowStep({window, message});
    return answer;
}

}  // namespace

Window FindWindowAfter(Window parent, Window childAfter, WindowClass windowClass, std::u16string_view title) {
    return Found(
        simwin::WindowManager::Instance().Find(parent, childAfter, ToClassRef(windowClass), std::u16string(title)));
}

std::optional<std::intptr_t> SendWindowMessage(Window window, std::uint32_t message, std::uintptr_t wParam,
                                               std::intptr_t lParam, std::uint32_t milliseconds) {
    std::intptr_t answer = 0;
    if (!Sent(window, message,
              simwin::WindowManager::Instance().SendTimeout(window, message, wParam, lParam, milliseconds, answer))) {
        TraceFailure(u"SendMessageTimeoutW", simwin::WindowManager::Instance().IsWindow(window)
                                                 ? simwin::kErrorTimeout
                                                 : simwin::kErrorInvalidWindowHandle);
        return std::nullopt;
    }
    return answer;
}

Window FindWindowOfClass(Window parent, Window childAfter, WindowClass windowClass) {
    return Found(simwin::WindowManager::Instance().Find(parent, childAfter, ToClassRef(windowClass), std::nullopt));
}

Window ChildWithId(Window dialog, int controlId, WindowClass windowClass) {
    if (windowClass.atom == 0 && windowClass.name == nullptr) {
        return 0;  // as on Windows: no class given, no window
    }
    return Found(simwin::WindowManager::Instance().ChildWithId(dialog, controlId, ToClassRef(windowClass)));
}

bool WindowOfThisProcess(Window window) {
    const std::uint32_t process = simwin::WindowManager::Instance().ProcessOf(window);
    return process != 0 && process == simwin::CurrentProcessId();
}

bool NotifyWindow(Window window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (!Sent(window, message, simwin::WindowManager::Instance().SendNotify(window, message, wParam, lParam))) {
        TraceFailure(u"SendNotifyMessageW", simwin::kErrorInvalidWindowHandle);
        return false;
    }
    return true;
}

bool RedrawWindow(Window window) {
    if (!simwin::WindowManager::Instance().Redraw(window)) {
        TraceFailure(u"RedrawWindow", simwin::kErrorInvalidWindowHandle);
        return false;
    }
    return true;
}

}  // namespace vorelle::platform
