// Threads, the named mutex, sleeping and the calendar clock on Windows:
// CreateThread, CreateMutexW, WaitForSingleObject, ReleaseMutex, CloseHandle,
// Sleep, GetTickCount; VirtualQuery, GetModuleFileNameW, LoadLibraryW and
// FreeLibraryAndExitThread for the thread's own reference to the library, all
// of them in Windows 2000. (MinGW's win32 thread model has no std::thread or
// std::mutex.)
#include "platform/win32/win32_api.h"

#include "platform/threads.h"

#include <ctime>
#include <memory>
#include <type_traits>
#include <vector>

namespace vorelle::platform {
namespace {

using win32::AsHandle;
using win32::AsRaw;
using win32::Wide;

// A reference to a library, released (FreeLibrary) unless handed on.
struct ModuleRelease {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using ModuleReference = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleRelease>;

// What the new thread runs: the entry, its one pointer argument, and the
// thread's own reference to this library.
struct ThreadStart {
    ThreadEntry entry;
    void* argument;
    ModuleReference module;
};

DWORD WINAPI RunThread(LPVOID parameter) {
    HMODULE module = nullptr;
    DWORD code = 0;
    {
        std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
        module = start->module.release();
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

// The library this code is in: the base of the allocation that holds it.
HMODULE OwnModule() {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<LPCVOID>(&RunThread), &region, sizeof region) == 0) {
        win32::TraceLastError(u"VirtualQuery");
        return nullptr;
    }
    return static_cast<HMODULE>(region.AllocationBase);
}

// The full path of `module`, however long; empty when it cannot be had.
std::vector<wchar_t> ModulePath(HMODULE module) {
    constexpr DWORD kLongestPath = 32'768;  // with the terminator
    for (DWORD size = MAX_PATH + 1;; size *= 2) {
        std::vector<wchar_t> path(size, L'\0');
        const DWORD length = GetModuleFileNameW(module, path.data(), size);
        if (length == 0) {
            win32::TraceLastError(u"GetModuleFileNameW");
            return {};
        }
        // A path that filled the buffer may be cut short (Windows 2000 and XP
        // then leave it unterminated): asked again with more room.
        if (length < size) {
            path.resize(length + 1);
            return path;
        }
        if (size >= kLongestPath) {
            return {};
        }
    }
}

// A reference to this library, taken by the starting thread so that the
// library cannot be unloaded between the start and the thread's first act:
// loading it again by its own path counts one more reference to it. Empty
// when none can be taken; a different library loaded from that path is let
// go at once (traced as error 0).
ModuleReference ReferenceOwnModule() {
    const HMODULE own = OwnModule();
    if (own == nullptr) {
        return nullptr;
    }
    const std::vector<wchar_t> path = ModulePath(own);
    if (path.empty()) {
        return nullptr;
    }
    ModuleReference loaded(LoadLibraryW(path.data()));
    if (!loaded) {
        win32::TraceLastError(u"LoadLibraryW");
        return nullptr;
    }
    if (loaded.get() != own) {
        TraceFailure(u"LoadLibraryW (another library at this library's path)", 0);
        return nullptr;
    }
    return loaded;
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
    // The reference is taken here, on the starting thread; should no thread
    // start, it is released with `start`. Without it no thread starts: an
    // unload could unmap the code under it.
    ModuleReference module = ReferenceOwnModule();
    if (!module) {
        return Thread{};
    }
    auto start = std::make_unique<ThreadStart>(ThreadStart{entry, argument, std::move(module)});
    HANDLE thread = CreateThread(nullptr, 0, RunThread, start.get(), 0, nullptr);
    if (thread == nullptr) {
        win32::TraceLastError(u"CreateThread");
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

std::uint32_t TickMilliseconds() {
    return static_cast<std::uint32_t>(GetTickCount());
}

}  // namespace vorelle::platform
