#include "simwin/scheduling.h"

#include <atomic>
#include <mutex>

namespace simwin {
namespace {

std::atomic<bool> runToEnd{false};
std::mutex hookMutex;
std::function<void(const WindowStep&)> stepHook;

}  // namespace

void RunNewThreadsToTheirEnd(bool on) { runToEnd.store(on); }

bool NewThreadsRunToTheirEnd() { return runToEnd.load(); }

void SetWindowStepHook(std::function<void(const WindowStep&)> hook) {
    std::lock_guard lock(hookMutex);
    stepHook = std::move(hook);
}

void NoteWindowStep(const WindowStep& step) {
    std::function<void(const WindowStep&)> hook;
    {
        std::lock_guard lock(hookMutex);
        hook = stepHook;
    }
    if (hook) {
        hook(step);
    }
}

}  // namespace simwin
