#include "simwin/ui_thread.h"

#include <utility>

#include "simwin/message_queue.h"

namespace simwin {

UiThread::UiThread() : queue_(std::make_shared<MessageQueue>(this)) {
    thread_ = std::thread([queue = queue_] {
        MessageQueue::SetCurrent(queue);
        queue->Run();
        // Like Windows: the windows of a thread that has ended go with it.
        WindowManager::Instance().DestroyWindowsOf(queue.get());
        MessageQueue::SetCurrent(nullptr);
    });
}

UiThread::~UiThread() {
    Stop();
    Join();
}

void UiThread::Stop() { queue_->RequestStop(); }

void UiThread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

bool UiThread::Running() const { return !queue_->Closed(); }

bool UiThread::Invoke(const std::function<void()>& task) {
    if (MessageQueue::Current() == queue_.get()) {
        task();
        return true;
    }
    MessageQueue::Item item;
    item.kind = MessageQueue::Item::Kind::Task;
    item.task = task;
    const std::optional<std::intptr_t> answer = queue_->Call(std::move(item), std::nullopt);
    return answer && *answer != 0;
}

bool UiThread::Post(std::function<void()> task) {
    MessageQueue::Item item;
    item.kind = MessageQueue::Item::Kind::Task;
    item.task = std::move(task);
    return queue_->Push(std::move(item));
}

Hwnd UiThread::CreateWindow(const WindowSpec& setup) {
    Hwnd window = 0;
    Invoke([&] { window = WindowManager::Instance().Create(setup); });
    return window;
}

void UiThread::SetMessageHook(std::function<void(const Message&)> hook) { queue_->SetHook(std::move(hook)); }

void UiThread::Hold() { queue_->SetHold(true); }

void UiThread::Resume() { queue_->SetHold(false); }

std::size_t UiThread::MessagesHandled() const { return queue_->Handled(); }

std::size_t UiThread::Pending() const { return queue_->Pending(); }

std::thread::id UiThread::Id() const { return thread_.get_id(); }

UiThread* UiThread::Current() {
    MessageQueue* queue = MessageQueue::Current();
    return queue != nullptr ? queue->Thread() : nullptr;
}

}  // namespace simwin
