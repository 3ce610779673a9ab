// Threads, the named mutex, sleeping and the calendar clock on Windows:
// CreateThread, CreateMutexW, WaitForSingleObject, ReleaseMutex, CloseHandle,
// Sleep, GetTickCount64; GetModuleHandleExW and FreeLibraryAndExitThread for
// the thread's own reference to the library. (MinGW's win32 thread model has no std::thread or std::mutex.)
#include "platform/win32/win32_api.h"

#include "platform/threads.h"

#include <ctime>
#include <memory>

namespace vorelle::platform {
namespace {

using win32::AsHandle;
using win32::AsRaw;
using win32::Wide;

// What the new thread runs: the entry, its one pointer argument, and the
// thread's own reference to this library.
struct ThreadStart {
    ThreadEntry entry;
    void* argument;
    HMODULE module;
};

DWORD WINAPI RunThread(LPVOID parameter) {
    HMODULE module = nullptr;
    DWORD code = 0;
    {
        std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
        module = start->module;
        try {
            start->entry(start->argument);
        } catch (...) {
            // Nothing may unwind out of a thread the host process did not start.
            code = 1;
        }
    }
    if (module != nullptr) {
        // The last act: the library may be unmapped once its reference is
        // gone, so no code of it may run after this call, which never returns.
        FreeLibraryAndExitThread(module, code);
    }
    return code;
}

// A reference to this library, taken by the starting thread so that the
// library cannot be unloaded between the start and the thread's first act.
HMODULE ReferenceOwnModule() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&RunThread), &module)) {
        return nullptr;
    }
    return module;
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
    auto start = std::make_unique<ThreadStart>(ThreadStart{entry, argument, nullptr});
    start->module = ReferenceOwnModule();
    HANDLE thread = CreateThread(nullptr, 0, RunThread, start.get(), 0, nullptr);
    if (thread == nullptr) {
        win32::TraceLastError(u"CreateThread");
        if (start->module != nullptr) {
            FreeLibrary(start->module);
        }
        return Thread{};
    }
    start.release();  // the thread owns it now
    return Thread(AsRaw(thread));
}

bool Thread::JoinFor(std::uint32_t milliseconds) {
    if (!handle_) {
        return true;
    }
    if (WaitForSingleObject(AsHandle(handle_.get()), milliseconds) != WAIT_OBJECT_0) {
        return false;
    }
    handle_.reset();
    return true;
}

void SleepMilliseconds(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

std::int32_t CalendarSeconds() {
    return static_cast<std::int32_t>(std::time(nullptr));
}

std::uint64_t TickMilliseconds() {
    return GetTickCount64();
}

}  // namespace vorelle::platform
