// Fixed orders for tests of racing threads: a thread the plug-in starts can be
// run to its end inside the call that starts it, and a hook sees each window
// the plug-in finds and each message it has sent, on the plug-in's thread, so
// that a test can act (request a stop) at exactly that step. The simulated
// side of the plug-in's platform facade consults both.
#pragma once

#include <cstdint>
#include <functional>

#include "simwin/window_manager.h"

namespace simwin {

// While on, the plug-in's thread start returns only after the new thread ended.
void RunNewThreadsToTheirEnd(bool on);
bool NewThreadsRunToTheirEnd();

// One step of the plug-in's window work: a window its search found
// (message 0), or a message it sent to `window` and that has been delivered.
struct WindowStep {
    Hwnd window = 0;
    std::uint32_t message = 0;
};
// Called after each step on the thread that took it; empty to remove.
void SetWindowStepHook(std::function<void(const WindowStep&)> hook);
void NoteWindowStep(const WindowStep& step);

}  // namespace simwin
