#include "simwin/message_queue.h"

#include <utility>
#include <vector>

namespace simwin {

namespace {

// The queue of the UiThread running on this thread (set by the thread itself).
thread_local std::shared_ptr<MessageQueue> currentQueue;

}  // namespace

void MessageQueue::SetCurrent(std::shared_ptr<MessageQueue> queue) { currentQueue = std::move(queue); }

MessageQueue* MessageQueue::Current() { return currentQueue.get(); }

std::shared_ptr<MessageQueue> MessageQueue::CurrentShared() { return currentQueue; }

Reply::Reply(std::shared_ptr<MessageQueue> senderQueue) : senderQueue_(std::move(senderQueue)) {}

void Reply::Complete(std::intptr_t result) {
    if (senderQueue_) {
        std::lock_guard lock(senderQueue_->mutex_);
        done_ = true;
        result_ = result;
        senderQueue_->condition_.notify_all();
        return;
    }
    std::lock_guard lock(ownMutex_);
    done_ = true;
    result_ = result;
    ownCondition_.notify_all();
}

std::optional<std::intptr_t> Reply::WaitUntil(Deadline deadline) {
    if (senderQueue_) {
        return senderQueue_->WaitHandling(*this, deadline);
    }
    std::unique_lock lock(ownMutex_);
    const auto done = [this] { return done_; };
    if (!deadline) {
        ownCondition_.wait(lock, done);
    } else if (!ownCondition_.wait_until(lock, *deadline, done)) {
        return std::nullopt;
    }
    return result_;
}

bool MessageQueue::Push(Item item) {
    std::lock_guard lock(mutex_);
    if (closed_ || stopRequested_) {
        return false;
    }
    items_.push_back(std::move(item));
    condition_.notify_all();
    return true;
}

void MessageQueue::Close() {
    std::deque<Item> dropped;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        dropped.swap(items_);
    }
    // Answered outside the lock: a sender's reply may take its own queue's lock.
    for (Item& item : dropped) {
        if (item.reply) {
            item.reply->Complete(0);
        }
    }
}

void MessageQueue::RequestStop() {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
    held_ = false;
    condition_.notify_all();
}

void MessageQueue::SetHold(bool hold) {
    std::lock_guard lock(mutex_);
    held_ = hold && !stopRequested_;
    condition_.notify_all();
}

void MessageQueue::SetHook(std::function<void(const Message&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

std::optional<MessageQueue::Item> MessageQueue::PopLocked(bool messagesOnly) {
    if (held_ || stopRequested_) {
        return std::nullopt;
    }
    for (auto it = items_.begin(); it != items_.end(); ++it) {
        if (!messagesOnly || it->kind != Item::Kind::Task) {
            Item item = std::move(*it);
            items_.erase(it);
            return item;
        }
    }
    return std::nullopt;
}

void MessageQueue::Run() {
    for (;;) {
        std::optional<Item> item;
        {
            std::unique_lock lock(mutex_);
            condition_.wait(lock, [this] { return stopRequested_ || (!held_ && !items_.empty()); });
            if (stopRequested_) {
                break;
            }
            item = PopLocked(false);
        }
        if (item) {
            Handle(*item);
        }
    }
    Close();
}

std::optional<std::intptr_t> MessageQueue::Call(Item item, Reply::Deadline deadline) {
    auto reply = std::make_shared<Reply>(CurrentShared());
    item.reply = reply;
    if (!Push(std::move(item))) {
        return std::nullopt;
    }
    return reply->WaitUntil(deadline);
}

std::optional<std::intptr_t> MessageQueue::WaitHandling(Reply& reply, Reply::Deadline deadline) {
    std::unique_lock lock(mutex_);
    while (!reply.done_) {
        // While waiting for its own sent message, a UI thread still handles the
        // messages sent to its windows, so two UI threads sending to each other
        // cannot deadlock.
        std::optional<Item> item = PopLocked(true);
        if (item) {
            lock.unlock();
            Handle(*item);
            lock.lock();
            continue;
        }
        if (!deadline) {
            condition_.wait(lock);
        } else if (condition_.wait_until(lock, *deadline) == std::cv_status::timeout && !reply.done_) {
            return std::nullopt;
        }
    }
    return reply.result_;
}

void MessageQueue::Handle(Item& item) {
    if (item.kind == Item::Kind::Task) {
        item.task();
        if (item.reply) {
            item.reply->Complete(1);
        }
        return;
    }
    std::function<void(const Message&)> hook;
    {
        std::lock_guard lock(mutex_);
        hook = hook_;
    }
    if (hook) {
        hook(item.message);
    }
    std::intptr_t result = WindowManager::Instance().Dispatch(item.message);
    {
        std::lock_guard lock(mutex_);
        ++handled_;
    }
    if (item.reply) {
        item.reply->Complete(result);
    }
}

bool MessageQueue::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

std::size_t MessageQueue::Handled() const {
    std::lock_guard lock(mutex_);
    return handled_;
}

std::size_t MessageQueue::Pending() const {
    std::lock_guard lock(mutex_);
    return items_.size();
}

}  // namespace simwin
