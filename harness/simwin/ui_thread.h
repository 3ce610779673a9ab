// A user-interface thread of the simulated Windows: a std::thread running a
// message loop. Windows created on it belong to it; messages sent to them from
// other threads are handled here, one at a time, in arrival order.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

#include "simwin/window_manager.h"

namespace simwin {

class UiThread {
public:
    // Starts the thread and its message loop.
    UiThread();
    // Stops the thread and waits for it to end. Must not run on the thread itself.
    ~UiThread();
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    // Asks the loop to end after the message in hand (also ends a Hold). Messages
    // still waiting are answered 0 at once; later ones are answered 0 at once;
    // the windows the thread owned are destroyed. Does not wait.
    void Stop();
    // Waits until the thread has ended (after Stop, or Stop called here). Idempotent.
    void Join();
    // True until the loop has ended and stopped taking messages.
    bool Running() const;

    // Runs `task` on this thread and waits for it; false (task not run) when the thread has ended.
    bool Invoke(const std::function<void()>& task);
    // Queues `task` to run on this thread; false when the thread has ended.
    bool Post(std::function<void()> task);
    // Creates a window owned by this thread (WindowManager::Create run here); 0 when ended.
    Hwnd CreateWindow(const WindowSpec& setup);

    // Called on this thread before each sent or notify message is handled, with
    // the message: a test can delay or block handling here. Empty to remove.
    void SetMessageHook(std::function<void(const Message&)> hook);
    // Hold: after the item in hand the thread handles nothing (messages, tasks)
    // until Resume or Stop. Senders meanwhile wait; notify messages queue up.
    void Hold();
    void Resume();

    // Messages (sent and notify) handled so far, and items waiting to be handled.
    std::size_t MessagesHandled() const;
    std::size_t Pending() const;
    std::thread::id Id() const;

    // The UiThread running the calling code, or null.
    static UiThread* Current();

private:
    void Loop();

    std::shared_ptr<MessageQueue> queue_;
    std::thread thread_;
};

}  // namespace simwin
