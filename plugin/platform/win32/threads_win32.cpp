// Threads, the named mutex, sleeping and the calendar clock on Windows:
// CreateThread, CreateMutexW, WaitForSingleObject, ReleaseMutex, CloseHandle,
// Sleep. (MinGW's win32 thread model has no std::thread or std::mutex.)
#include "platform/win32/win32_api.h"

#include "platform/threads.h"

#include <ctime>
#include <memory>

namespace vorelle::platform {
namespace {

using win32::AsHandle;
using win32::AsRaw;
using win32::Wide;

// What the new thread runs: the entry and its one pointer argument.
struct ThreadStart {
    ThreadEntry entry;
    void* argument;
};

DWORD WINAPI RunThread(LPVOID parameter) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    try {
        start->entry(start->argument);
    } catch (...) {
        // Nothing may unwind out of a thread the host process did not start.
        return 1;
    }
    return 0;
}

}  // namespace

void KernelHandleTraits::Close(RawHandle handle) {
    CloseHandle(AsHandle(handle));
}

NamedMutex NamedMutex::Create(const std::u16string& name) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, Wide(name));
    if (mutex == nullptr) {
        win32::TraceLastError(u"CreateMutexW");
        return NamedMutex{};
    }
    return NamedMutex(AsRaw(mutex));
}

WaitResult NamedMutex::Wait(std::uint32_t milliseconds) const {
    if (!handle_) {
        return WaitResult::Failed;
    }
    switch (WaitForSingleObject(AsHandle(handle_.get()), milliseconds)) {
        case WAIT_OBJECT_0:
            return WaitResult::Acquired;
        case WAIT_ABANDONED:
            return WaitResult::Abandoned;
        case WAIT_TIMEOUT:
            return WaitResult::TimedOut;
        default:
            win32::TraceLastError(u"WaitForSingleObject");
            return WaitResult::Failed;
    }
}

bool NamedMutex::Release() const {
    if (!handle_) {
        return false;
    }
    if (!ReleaseMutex(AsHandle(handle_.get()))) {
        win32::TraceLastError(u"ReleaseMutex");
        return false;
    }
    return true;
}

Thread Thread::Start(ThreadEntry entry, void* argument) {
    auto start = std::make_unique<ThreadStart>(ThreadStart{entry, argument});
    HANDLE thread = CreateThread(nullptr, 0, RunThread, start.get(), 0, nullptr);
    if (thread == nullptr) {
        win32::TraceLastError(u"CreateThread");
        return Thread{};
    }
    start.release();  // the thread owns it now
    return Thread(AsRaw(thread));
}

void Thread::Join() {
    if (handle_) {
        WaitForSingleObject(AsHandle(handle_.get()), INFINITE);
        handle_.reset();
    }
}

void SleepMilliseconds(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

std::int32_t CalendarSeconds() {
    return static_cast<std::int32_t>(std::time(nullptr));
}

}  // namespace vorelle::platform
