#include "simwin/kernel.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "simwin/errors.h"
#include "simwin/handle_accounting.h"
#include "simwin/machine.h"
#include "simwin/process_end.h"

namespace simwin {
namespace {

struct MutexObject {
    std::u16string name;  // empty for an unnamed mutex
    bool owned = false;
    std::thread::id owner;
    std::uint32_t recursion = 0;
    bool abandoned = false;  // the last owner ended while holding it; the next acquirer is told
    std::condition_variable released;
};

struct ThreadObject {
    std::thread thread;  // set once by CreateThread; joined or detached under joinLock
    std::mutex joinLock;
    bool ended = false;  // guarded by the kernel lock
    std::condition_variable endedSignal;

    ~ThreadObject() {
        if (thread.joinable()) {
            thread.detach();
        }
    }
};

struct KernelState {
    std::mutex lock;
    std::map<Handle, std::shared_ptr<MutexObject>> mutexHandles;
    std::map<Handle, std::shared_ptr<ThreadObject>> threadHandles;
    std::map<std::u16string, std::weak_ptr<MutexObject>> namedMutexes;
    std::size_t runningThreads = 0;
    std::size_t startedThreads = 0;
};

// Never destroyed: threads may still end (and abandon mutexes) while the process exits.
KernelState& Kernel() {
    static KernelState* kernel = new KernelState;
    return *kernel;
}

// The mutexes the calling thread owns; whatever it still owns when it ends is abandoned.
class OwnedMutexes {
public:
    ~OwnedMutexes() {
        KernelState& kernel = Kernel();
        std::lock_guard guard(kernel.lock);
        for (const std::shared_ptr<MutexObject>& mutex : items_) {
            mutex->owned = false;
            mutex->owner = {};
            mutex->recursion = 0;
            mutex->abandoned = true;
            mutex->released.notify_all();
        }
    }
    void Add(std::shared_ptr<MutexObject> mutex) { items_.push_back(std::move(mutex)); }
    void Remove(const MutexObject* mutex) {
        std::erase_if(items_, [&](const std::shared_ptr<MutexObject>& item) { return item.get() == mutex; });
    }

private:
    std::vector<std::shared_ptr<MutexObject>> items_;
};

thread_local OwnedMutexes ownedMutexes;

// Makes the calling thread the owner of a free mutex. Kernel lock held.
void TakeOwnership(const std::shared_ptr<MutexObject>& mutex) {
    mutex->owned = true;
    mutex->owner = std::this_thread::get_id();
    mutex->recursion = 1;
    ownedMutexes.Add(mutex);
}

// Waits on `signal` until `ready`, at most `milliseconds`; false on time-out.
template <typename Ready>
bool WaitUntil(std::condition_variable& signal, std::unique_lock<std::mutex>& lock, std::uint32_t milliseconds,
               Ready ready) {
    if (milliseconds == kInfinite) {
        signal.wait(lock, ready);
        return true;
    }
    return signal.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
}

// Joins an ended thread, or lets one that still runs (or is the caller) go on alone.
void JoinOrDetach(ThreadObject& thread, bool ended) {
    std::lock_guard guard(thread.joinLock);
    if (!thread.thread.joinable()) {
        return;
    }
    if (ended && thread.thread.get_id() != std::this_thread::get_id()) {
        thread.thread.join();
    } else {
        thread.thread.detach();
    }
}

WaitResult InvalidHandle() {
    detail::NoteInvalidHandle();
    SetLastError(kErrorInvalidHandle);
    return WaitResult::Failed;
}

}  // namespace

Handle CreateMutex(const char16_t* name, bool initialOwner, bool* alreadyExists) {
    if (FaultOn(Fault::CreateMutex)) {
        SetLastError(kErrorInvalidHandle);
        return 0;
    }
    KernelState& kernel = Kernel();
    std::lock_guard guard(kernel.lock);
    std::shared_ptr<MutexObject> mutex;
    bool existed = false;
    if (name != nullptr && *name != u'\0') {
        std::erase_if(kernel.namedMutexes, [](const auto& entry) { return entry.second.expired(); });
        std::weak_ptr<MutexObject>& slot = kernel.namedMutexes[std::u16string(name)];
        mutex = slot.lock();
        existed = mutex != nullptr;
        if (!existed) {
            mutex = std::make_shared<MutexObject>();
            mutex->name = name;
            slot = mutex;
        }
    } else {
        mutex = std::make_shared<MutexObject>();
    }
    if (!existed && initialOwner) {
        TakeOwnership(mutex);
    }
    Handle handle = detail::NewHandleValue();
    kernel.mutexHandles.emplace(handle, std::move(mutex));
    if (alreadyExists != nullptr) {
        *alreadyExists = existed;
    }
    SetLastError(existed ? kErrorAlreadyExists : kErrorSuccess);
    return handle;
}

WaitResult WaitForSingleObject(Handle object, std::uint32_t milliseconds) {
    const bool mutexWaitsFail = FaultOn(Fault::MutexWait);  // read before the kernel lock is taken
    KernelState& kernel = Kernel();
    std::unique_lock lock(kernel.lock);
    if (auto it = kernel.mutexHandles.find(object); it != kernel.mutexHandles.end()) {
        if (mutexWaitsFail) {
            SetLastError(kErrorAccessDenied);
            return WaitResult::Failed;
        }
        std::shared_ptr<MutexObject> mutex = it->second;
        const std::thread::id me = std::this_thread::get_id();
        if (!WaitUntil(mutex->released, lock, milliseconds,
                       [&] { return !mutex->owned || mutex->owner == me; })) {
            return WaitResult::TimedOut;
        }
        if (mutex->owned) {
            ++mutex->recursion;
            return WaitResult::Acquired;
        }
        TakeOwnership(mutex);
        return std::exchange(mutex->abandoned, false) ? WaitResult::Abandoned : WaitResult::Acquired;
    }
    if (auto it = kernel.threadHandles.find(object); it != kernel.threadHandles.end()) {
        std::shared_ptr<ThreadObject> thread = it->second;
        if (!WaitUntil(thread->endedSignal, lock, milliseconds, [&] { return thread->ended; })) {
            return WaitResult::TimedOut;
        }
        lock.unlock();
        JoinOrDetach(*thread, true);  // so that no code of the thread runs any more
        return WaitResult::Acquired;
    }
    return InvalidHandle();
}

bool ReleaseMutex(Handle mutexHandle) {
    KernelState& kernel = Kernel();
    std::lock_guard guard(kernel.lock);
    auto it = kernel.mutexHandles.find(mutexHandle);
    if (it == kernel.mutexHandles.end()) {
        InvalidHandle();
        return false;
    }
    MutexObject& mutex = *it->second;
    if (!mutex.owned || mutex.owner != std::this_thread::get_id()) {
        SetLastError(kErrorNotOwner);
        return false;
    }
    if (--mutex.recursion == 0) {
        mutex.owned = false;
        mutex.owner = {};
        ownedMutexes.Remove(&mutex);
        mutex.released.notify_all();
    }
    return true;
}

bool CloseHandle(Handle object) {
    KernelState& kernel = Kernel();
    std::unique_lock lock(kernel.lock);
    if (kernel.mutexHandles.erase(object) != 0) {
        return true;
    }
    auto it = kernel.threadHandles.find(object);
    if (it == kernel.threadHandles.end()) {
        InvalidHandle();
        return false;
    }
    std::shared_ptr<ThreadObject> thread = std::move(it->second);
    kernel.threadHandles.erase(it);
    bool ended = thread->ended;
    lock.unlock();
    JoinOrDetach(*thread, ended);
    return true;
}

namespace {

std::atomic<ThreadStartFailure> threadStartFailure{ThreadStartFailure::None};

// Releases a library reference taken for a thread; from simwin's code, never the library's.
void ReleaseModule(void* module) {
    if (module != nullptr) {
        dlclose(module);
    }
}

Handle StartThread(ThreadEntry entry, void* argument, void* module) {
    switch (threadStartFailure.load()) {
        case ThreadStartFailure::None:
            break;
        case ThreadStartFailure::Fail:
            ReleaseModule(module);
            SetLastError(kErrorNotEnoughMemory);
            return 0;
        case ThreadStartFailure::Throw:
            ReleaseModule(module);
            throw std::bad_alloc();
    }
    KernelState& kernel = Kernel();
    auto thread = std::make_shared<ThreadObject>();
    {
        std::lock_guard guard(kernel.lock);
        ++kernel.runningThreads;
        ++kernel.startedThreads;
    }
    try {
        std::lock_guard joinGuard(thread->joinLock);
        thread->thread = std::thread([thread, entry, argument, module] {
            NoteThreadStartedByKernel();
            entry(argument);
            ReleaseModule(module);
            KernelState& state = Kernel();
            std::lock_guard guard(state.lock);
            thread->ended = true;
            --state.runningThreads;
            thread->endedSignal.notify_all();
        });
    } catch (const std::system_error&) {
        {
            std::lock_guard guard(kernel.lock);
            --kernel.runningThreads;
        }
        ReleaseModule(module);
        SetLastError(kErrorNotEnoughMemory);
        return 0;
    }
    std::lock_guard guard(kernel.lock);
    Handle handle = detail::NewHandleValue();
    kernel.threadHandles.emplace(handle, std::move(thread));
    return handle;
}

}  // namespace

Handle CreateThread(ThreadEntry entry, void* argument) { return StartThread(entry, argument, nullptr); }

Handle CreateThreadHoldingModule(ThreadEntry entry, void* argument, void* module) {
    return StartThread(entry, argument, module);
}

void FailThreadStarts(ThreadStartFailure how) { threadStartFailure.store(how); }

namespace {
std::atomic<bool> moduleReferencesRefused{false};
}  // namespace

void RefuseModuleReferences(bool refuse) { moduleReferencesRefused.store(refuse); }

bool ModuleReferencesRefused() { return moduleReferencesRefused.load(); }

namespace {
struct KeptBlocks {
    std::mutex lock;
    std::vector<const void*> blocks;
};
KeptBlocks& Kept() {
    static auto* const kept = new KeptBlocks();  // never destroyed: it outlives every library
    return *kept;
}
}  // namespace

void KeepForProcessLifetime(const void* block) noexcept {
    KeptBlocks& kept = Kept();
    std::lock_guard guard(kept.lock);
    try {
        kept.blocks.push_back(block);
    } catch (const std::bad_alloc&) {
        // Not recorded: the block is still never freed.
    }
}

std::size_t BlocksKeptForProcessLifetime() {
    KeptBlocks& kept = Kept();
    std::lock_guard guard(kept.lock);
    return kept.blocks.size();
}

bool KeptForProcessLifetime(const void* block) {
    KeptBlocks& kept = Kept();
    std::lock_guard guard(kept.lock);
    return std::find(kept.blocks.begin(), kept.blocks.end(), block) != kept.blocks.end();
}

namespace {
std::atomic<std::uint64_t> gSlept{0};
}  // namespace

std::uint64_t MillisecondsSlept() { return gSlept.load(); }

void Sleep(std::uint32_t milliseconds) {
    StopIfProcessEnding();
    gSlept += milliseconds;
    if (milliseconds == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

bool NamedMutexExists(const std::u16string& name) {
    KernelState& kernel = Kernel();
    std::lock_guard guard(kernel.lock);
    auto it = kernel.namedMutexes.find(name);
    return it != kernel.namedMutexes.end() && !it->second.expired();
}

bool NamedMutexOwned(const std::u16string& name) {
    KernelState& kernel = Kernel();
    std::lock_guard guard(kernel.lock);
    auto it = kernel.namedMutexes.find(name);
    std::shared_ptr<MutexObject> mutex = it == kernel.namedMutexes.end() ? nullptr : it->second.lock();
    return mutex != nullptr && mutex->owned;
}

namespace detail {

void AddKernelCounts(HandleCounts& counts) {
    KernelState& kernel = Kernel();
    std::lock_guard guard(kernel.lock);
    counts.mutexes = kernel.mutexHandles.size();
    counts.threads = kernel.threadHandles.size();
    counts.runningThreads = kernel.runningThreads;
    counts.startedThreads = kernel.startedThreads;
}

}  // namespace detail
}  // namespace simwin
