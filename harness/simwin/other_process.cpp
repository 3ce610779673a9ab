#include "simwin/other_process.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "simwin/kernel.h"
#include "simwin/ui_thread.h"

namespace simwin {

namespace {

constexpr std::uint32_t kThisProcessId = 0x1F4;
std::atomic<std::uint32_t> nextOtherProcessId{0x2000};
thread_local std::uint32_t threadProcessId = kThisProcessId;

}  // namespace

std::uint32_t CurrentProcessId() { return threadProcessId; }

OtherProcessUi::OtherProcessUi()
    : thread_(std::make_unique<UiThread>()), id_(nextOtherProcessId.fetch_add(4)) {
    const std::uint32_t id = id_;
    thread_->Invoke([id] { threadProcessId = id; });
}

OtherProcessUi::~OtherProcessUi() = default;

struct MutexHeldElsewhere::State {
    enum class Order { Hold, Release, Abandon };

    std::mutex lock;
    std::condition_variable changed;
    Order order = Order::Hold;
    bool held = false;
    std::thread process;

    // The other process's thread: takes the mutex, holds it until ordered otherwise.
    void Run(const std::u16string& name) {
        Handle mutex = CreateMutex(name.c_str());
        WaitForSingleObject(mutex, kInfinite);
        std::unique_lock guard(lock);
        held = true;
        changed.notify_all();
        changed.wait(guard, [&] { return order != Order::Hold; });
        if (order == Order::Release) {
            ReleaseMutex(mutex);
        }
        // When abandoning, the thread ends owning the mutex: the kernel marks it abandoned.
        CloseHandle(mutex);
    }

    void End(Order how) {
        {
            std::lock_guard guard(lock);
            order = how;
            changed.notify_all();
        }
        if (process.joinable()) {
            process.join();
        }
    }
};

MutexHeldElsewhere::MutexHeldElsewhere(const std::u16string& name) : state_(std::make_unique<State>()) {
    State* state = state_.get();
    state->process = std::thread([state, name] { state->Run(name); });
    std::unique_lock guard(state->lock);
    state->changed.wait(guard, [&] { return state->held; });
}

MutexHeldElsewhere::~MutexHeldElsewhere() {
    if (state_) {
        state_->End(State::Order::Release);
    }
}

MutexHeldElsewhere::MutexHeldElsewhere(MutexHeldElsewhere&&) noexcept = default;

MutexHeldElsewhere& MutexHeldElsewhere::operator=(MutexHeldElsewhere&& other) noexcept {
    if (this != &other) {
        if (state_) {
            state_->End(State::Order::Release);
        }
        state_ = std::move(other.state_);
    }
    return *this;
}

void MutexHeldElsewhere::Release() {
    if (state_) {
        state_->End(State::Order::Release);
    }
}

void MutexHeldElsewhere::Abandon() {
    if (state_) {
        state_->End(State::Order::Abandon);
    }
}

}  // namespace simwin
