// The queue of one UiThread: messages sent and notified to its windows and
// tasks to run on it. Senders keep a queue alive through a shared pointer, so a
// queue outlives the UiThread object for as long as anyone still holds it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "simwin/window_manager.h"

namespace simwin {

class UiThread;

// The answer slot of one sent message; completed on the handling thread.
// A sender that is itself a UiThread waits on its own queue's condition, so it
// can handle messages sent to it meanwhile; any other sender on the slot's own.
class Reply {
public:
    explicit Reply(std::shared_ptr<MessageQueue> senderQueue);
    void Complete(std::intptr_t result);
    using Deadline = std::optional<std::chrono::steady_clock::time_point>;
    // Waits for the answer (a UiThread sender handles its incoming messages
    // meanwhile), giving up at `deadline` when there is one: none then.
    std::optional<std::intptr_t> WaitUntil(Deadline deadline);

private:
    friend class MessageQueue;
    std::shared_ptr<MessageQueue> senderQueue_;
    std::mutex ownMutex_;
    std::condition_variable ownCondition_;
    bool done_ = false;
    std::intptr_t result_ = 0;
};

class MessageQueue {
public:
    struct Item {
        enum class Kind { Sent, Notify, Task } kind = Kind::Task;
        Message message;
        std::shared_ptr<Reply> reply;  // Sent only
        std::function<void()> task;    // Task only
    };

    explicit MessageQueue(UiThread* thread) : thread_(thread) {}

    // Queues an item; false (nothing queued) once the queue is closed.
    bool Push(Item item);
    // Queues a Sent or Task item with a reply of its own and waits for the
    // answer, giving up at `deadline` when there is one. None when the queue is
    // closed (nothing queued) or the time ran out.
    std::optional<std::intptr_t> Call(Item item, Reply::Deadline deadline);
    // Closes the queue: later pushes fail; items waiting are answered 0 and dropped.
    void Close();
    // Asks the loop to end; releases a hold.
    void RequestStop();
    void SetHold(bool hold);
    void SetHook(std::function<void(const Message&)> hook);

    // The loop of the owning thread; returns after a stop request.
    void Run();
    // Waits for `reply` on the owning thread, handling sent and notify messages
    // meanwhile; gives up at `deadline` when there is one: none then.
    std::optional<std::intptr_t> WaitHandling(Reply& reply, Reply::Deadline deadline);

    bool Closed() const;
    std::size_t Handled() const;
    std::size_t Pending() const;
    UiThread* Thread() const { return thread_; }

    // The queue of the UiThread running the calling code, or null.
    static MessageQueue* Current();
    static std::shared_ptr<MessageQueue> CurrentShared();
    // Makes `queue` the calling thread's own (null: none).
    static void SetCurrent(std::shared_ptr<MessageQueue> queue);

private:
    friend class Reply;
    void Handle(Item& item);
    // Pops the next item that may be handled now (messages only when `messagesOnly`); lock held.
    std::optional<Item> PopLocked(bool messagesOnly);

    UiThread* const thread_;
    mutable std::mutex mutex_;
    std::condition_variable condition_;
    std::deque<Item> items_;
    std::function<void(const Message&)> hook_;
    bool closed_ = false;
    bool stopRequested_ = false;
    bool held_ = false;
    std::size_t handled_ = 0;
};

}  // namespace simwin
